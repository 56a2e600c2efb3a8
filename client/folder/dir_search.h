// Searching a folder list for a text in the senders or the subjects, and the find
// state all folder windows share for the whole run (the last text, its options and
// the one "Find in Folder" dialog that may be open).
#pragma once

#include <QPointer>
#include <QWidget>

#include <string>

namespace pelldesk {

class CDirDoc;

// The "&Match In" radio buttons.
inline constexpr int kMatchInFrom = 1030;
inline constexpr int kMatchInSubject = 1031;

struct FindState {
  QPointer<QWidget> findDialog;  // the open find dialog, or none
  std::string findWhat;
  bool matchCase = false;
  bool searchDown = true;
  int matchIn = kMatchInSubject;
};

FindState& SharedFindState();

// `text` in lower case as the folder's 8-bit text folds (ASCII and the accented
// letters of ISO-8859-1).
std::string LowerCase(const std::string& text);

// The first live row after `selection` in the direction asked (from the first or the
// last row when nothing is selected) whose sender (kMatchInFrom) or subject
// (kMatchInSubject) holds `text`; -1 when none does. No wrap-around.
int FindEntry(const CDirDoc& doc, const std::string& text, bool down, bool matchCase, int matchIn, int selection);

}  // namespace pelldesk
