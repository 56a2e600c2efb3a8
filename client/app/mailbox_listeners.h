// What the folder operations tell the open windows after they have changed the mailbox.
// No window changes its own state after a move or deletion: the operation finds the
// documents concerned and calls these, and each window updates itself. A document
// kind derives from the listeners it answers to; the operations find them by
// dynamic_cast on the documents of the message, folder and tree templates.
#pragma once

#include <string>
#include <vector>

namespace pelldesk {

// A message or folder document whose file or directory was moved or deleted: it
// closes its window (a message window may first take the new path).
class MovedFileListener {
 public:
  virtual ~MovedFileListener() = default;
  virtual void OnFileMoved(const std::string& oldPath, const std::string& newPath, bool toDeleted) = 0;
};

// A folder document's list of message files.
class FolderEntryListener {
 public:
  virtual ~FolderEntryListener() = default;
  // The file `oldPath` of this folder now lies at `newPath` (in "deleted" when
  // `toDeleted`): its line is shown moved or deleted.
  virtual void MarkEntryMoved(const std::string& oldPath, const std::string& newPath, bool toDeleted) = 0;
  // A message window on `path` opened or closed.
  virtual void MarkEntryOpen(const std::string& path, bool open) = 0;
};

// A folder tree document.
class FolderTreeListener {
 public:
  virtual ~FolderTreeListener() = default;
  virtual void MarkFolderMoved(const std::string& oldPath, const std::string& newPath, bool toDeleted) = 0;
  // A folder window on `path` opened or closed.
  virtual void MarkFolderOpen(const std::string& path, bool open) = 0;
  // The paths of the tree's entries in their order, without a final "/"; entry 0 is
  // the tree's root, the mail directory. Entries of every state are listed.
  virtual std::vector<std::string> FolderPaths() const = 0;
};

}  // namespace pelldesk
