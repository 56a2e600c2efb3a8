// The standard folder a path names.
#include "folder/folder_kind.h"

#include <strings.h>

#include "app/mail_app.h"

namespace pelldesk {

FolderKind FolderKindOf(const CMailApp& app, const std::string& folderPath) {
  const char* path = folderPath.c_str();
  if (strcasecmp(path, app.MainFolderPath().c_str()) == 0) return FolderKind::Main;
  if (strcasecmp(path, app.NewFolderPath().c_str()) == 0) return FolderKind::New;
  if (strcasecmp(path, app.DeletedFolderPath().c_str()) == 0) return FolderKind::Deleted;
  return FolderKind::Other;
}

}  // namespace pelldesk
