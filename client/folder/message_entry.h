// One line of a folder window: a message file of the folder with the three headers the
// list shows and the state that picks its picture (bitmap 136, image of the same index).
// The states are those of the folder tree's lines, so both lists read alike.
#pragma once

#include <cstdint>
#include <string>

#include "pellam.h"

namespace pelldesk {

enum EntryState : int {
  kEntryUnknown = 0,  // no entry: what an index out of range gives
  kEntryListed = 1,   // found by the last load, never opened since
  kEntrySeen = 2,     // was open in a message window, now closed
  kEntryOpen = 3,     // open in a message window
  kEntryDeleted = 4,  // moved to "deleted" or purged
  kEntryMoved = 5,    // moved to another folder
};

// Only messages whose file is still in the folder can be selected, opened, moved,
// deleted and found.
inline bool IsLiveEntry(int state) {
  return state == kEntryListed || state == kEntrySeen || state == kEntryOpen;
}

inline constexpr char kHeadersNotRead[] = "?ERROR?";
inline constexpr char kUnknownSender[] = "--unknown--";

struct MessageEntry {
  std::string fileName;  // without directory, e.g. "msg0012.mai"
  int32_t number = -1;   // the number after the name's leading non-digits, -1 for none
  MailDate received{};   // all zero when unknown
  std::string from;      // the sender's address proper, "--unknown--" when empty
  std::string subject;   // empty when absent
  int state = kEntryUnknown;
};

// The decimal number that follows the leading run of non-digits of `fileName`: 12 for
// "msg0012.mai"; -1 for a name that begins with a digit, holds no digit, or whose
// number does not fit 32 bits.
int32_t MessageNumberOf(const std::string& fileName);

// A listed entry whose headers are still to be read.
MessageEntry NewListedEntry(const std::string& fileName, bool open);

}  // namespace pelldesk
