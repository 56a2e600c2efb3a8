// One line of the folder tree: a folder's full path, the name shown, its depth below
// the tree's root and its state, which also picks its picture (bitmap 137, image of
// the same index).
#pragma once

#include <string>

namespace pelldesk {

enum class FolderState : int {
  Unknown = 0,  // no entry: what an index out of range gives
  Listed = 1,   // found by the last build, no folder window seen
  Seen = 2,     // its folder window was open and has been closed
  Open = 3,     // a folder window shows it
  Deleted = 4,  // the folder was removed
  Moved = 5,    // the folder was replaced by another path
};

// Only folders that are still there can be selected, opened and deleted.
inline bool IsSelectable(FolderState state) {
  return state == FolderState::Listed || state == FolderState::Seen || state == FolderState::Open;
}

struct FolderEntry {
  std::string path;  // full path without a final "/"
  std::string name;  // the last component of path
  int depth = 0;     // 0 for the root
  FolderState state = FolderState::Unknown;
};

}  // namespace pelldesk
