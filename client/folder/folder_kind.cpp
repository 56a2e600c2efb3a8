// The standard folder a path names.
#include "folder/folder_kind.h"

#include <strings.h>

#include "app/client_services.h"

namespace pelldesk {

FolderKind FolderKindOf(const UserMailbox& mailbox, const std::string& folderPath) {
  const char* path = folderPath.c_str();
  if (strcasecmp(path, mailbox.MainFolderPath().c_str()) == 0) return FolderKind::Main;
  if (strcasecmp(path, mailbox.NewFolderPath().c_str()) == 0) return FolderKind::New;
  if (strcasecmp(path, mailbox.DeletedFolderPath().c_str()) == 0) return FolderKind::Deleted;
  return FolderKind::Other;
}

}  // namespace pelldesk
