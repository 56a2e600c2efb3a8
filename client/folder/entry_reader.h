// Reading the three headers a folder list shows (Received, From, Subject) from one
// message file. Only the header section is read: 512 bytes at a time, never more than
// the first 65535 bytes, stopping as soon as the library has the whole section. Every
// failure is reported through the caller's ErrorReporter and leaves the entry listable.
#pragma once

#include <string>
#include <vector>

#include "folder/message_entry.h"

namespace pelldesk {

class ErrorReporter;

inline constexpr uint32_t kHeaderReadLimit = 65535;
inline constexpr uint32_t kHeaderChunk = 512;

// Fills `entry`'s received, from and subject from the file folderPath + fileName
// (`folderPath` ends in "/"). A file that cannot be opened keeps "?ERROR?"; one whose
// headers cannot be extracted gets "--unknown--", an empty subject and no date.
// `buffer` is scratch space that a caller reading many files passes again each time.
void ReadEntryHeaders(const std::string& folderPath, MessageEntry* entry, std::vector<char>* buffer,
                      ErrorReporter& errors);

}  // namespace pelldesk
