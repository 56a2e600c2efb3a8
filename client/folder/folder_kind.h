// Which standard folder a folder path is, and why a folder (or message) document
// closes. The values are the ones the message window uses for the same purposes.
#pragma once

#include <string>

namespace pelldesk {

class UserMailbox;

enum class FolderKind : int { Other = 0, Main = 1, New = 2, Deleted = 3 };

enum class CloseReason : int {
  None = 0,     // an ordinary close
  Deleted = 1,  // deleted elsewhere
  Moved = 2,    // moved elsewhere
  Own = 3,      // being deleted by the document's own close
};

// Main, New or Deleted when `folderPath` (ending in "/") is that standard folder of
// `mailbox`, compared without regard to case; Other otherwise.
FolderKind FolderKindOf(const UserMailbox& mailbox, const std::string& folderPath);

}  // namespace pelldesk
