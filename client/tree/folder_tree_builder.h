// The build of a folder tree: a directory and every folder below it, in pre-order
// and in the order of the directory search, names without a dot only. The build knows
// nothing of windows; the caller says which paths are open and how to report.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tree/folder_entry.h"

namespace pelldesk {

struct FolderTreeHooks {
  // Whether some window of the client has the full path open (the entry starts Open).
  std::function<bool(const std::string& fullPath)> isOpen;
  // Shows a failure: `format` holds one "%s" for `text`; `status` is a platform code.
  std::function<void(const char* format, const std::string& text, uint32_t status)> report;
};

struct FolderTree {
  std::vector<FolderEntry> entries;
  int maxDepth = -1;  // -1 while there are no entries
};

// Appends `path` (depth `depth`) and its sub-folders to `tree`. False after the first
// failure has been reported: a path that cannot be resolved (too long, or a root with
// no last name) or a search that ends with an error other than "not found" or "no more
// files". The entries appended up to the failure stay; the caller discards them.
bool AddFolder(const std::string& path, int depth, const FolderTreeHooks& hooks, FolderTree* tree);

}  // namespace pelldesk
