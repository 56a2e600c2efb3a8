// The folder tree's build over the platform's path resolution and directory search.
// Paths are resolved into 260-character buffers; a search pattern is built as a string
// of its own, so no folder, however deep, writes beyond a buffer.
#include "tree/folder_tree_builder.h"

#include <algorithm>

#include "platform/errors.h"
#include "platform/files.h"
#include "platform/find.h"
#include "platform/paths.h"

namespace pelldesk {
namespace {

// The search ended because there was nothing (more) to find.
bool IsEndOfSearch(uint32_t error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_NO_MORE_FILES;
}

bool IsSubFolder(const platform::FindData& found) {
  return (found.attributes & platform::kAttrDirectory) != 0 && found.name[0] != '.';
}

}  // namespace

bool AddFolder(const std::string& path, int depth, const FolderTreeHooks& hooks, FolderTree* tree) {
  char full[platform::kMaxPath];
  char* lastName = nullptr;
  const uint32_t length = platform::GetFullPathName(path.c_str(), sizeof full, full, &lastName);
  if (length == 0 || length >= sizeof full || *lastName == '\0') {
    // A path that fits and resolves but has no last name is a root ("/", or a name
    // ending in "/"): the platform saw nothing wrong, so the report names the syntax.
    const uint32_t error = length == 0 ? platform::GetLastError()
                           : length >= sizeof full ? ERROR_FILENAME_EXCED_RANGE
                                                   : ERROR_INVALID_NAME;
    hooks.report("Path name %s cannot be parsed.", path, error);
    return false;
  }
  const std::string fullPath(full, length);
  const FolderState state = hooks.isOpen && hooks.isOpen(fullPath) ? FolderState::Open : FolderState::Listed;
  tree->entries.push_back(FolderEntry{fullPath, lastName, depth, state});
  tree->maxDepth = std::max(tree->maxDepth, depth);

  const std::string pattern = fullPath + "/*.";
  platform::FindData found{};
  platform::FindHandle search = platform::FindFirstFile(pattern.c_str(), &found);
  uint32_t error = platform::GetLastError();
  if (search != nullptr) {
    do {
      // The argument, not its resolution, leads to the sub-folder, as it was given.
      if (IsSubFolder(found) && !AddFolder(path + "/" + found.name, depth + 1, hooks, tree)) {
        platform::FindClose(search);
        return false;
      }
    } while (platform::FindNextFile(search, &found));
    error = platform::GetLastError();
    platform::FindClose(search);
  }
  if (IsEndOfSearch(error)) return true;
  hooks.report("Search for %s returned unexpected error.", pattern, error);
  return false;
}

}  // namespace pelldesk
