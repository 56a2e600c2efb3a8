// CTreeDoc, the document of the folder tree window (template 131): the folders of the
// mail directory as built from disk, with the state of each line. Entries change only
// by a build (opening the window, Refresh, a folder made or removed on disk, which a
// change notification reports) and by the folder operations' notices; the window
// refuses to close until the client is exiting. It reaches the rest of the client
// only through the services it is made with, and holds no widget.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/client_services.h"
#include "app/mailbox_listeners.h"
#include "platform/change_notify.h"
#include "framework/document.h"
#include "tree/folder_entry.h"
#include "tree/folder_tree_builder.h"

namespace pelldesk {

using platform::DirChange;

class DirWatcher;

class CTreeDoc : public fw::Document, public FolderTreeListener {
 public:
  explicit CTreeDoc(const ClientServices& services);
  ~CTreeDoc() override;

  bool OnNewDocument() override;
  bool OnOpenDocument(const std::string& path) override;
  bool OnSaveDocument(const std::string& path) override;
  void DeleteContents() override;
  bool CanCloseFrame(fw::ChildFrame* frame) override;

  // Builds the tree again from the document's path name and tells the views (hint 0).
  // Refresh, command 32785, reaches it through the view.
  void Refresh();

  // Follows a change on disk: when a folder appeared or went away anywhere in the
  // tree, builds it again, each folder that stays keeping its state (hint 0).
  void ApplyChanges(const std::vector<DirChange>& changes, bool lost, bool alive);
  bool followsDisk() const;

  int count() const { return static_cast<int>(tree_.entries.size()); }
  int maxDepth() const { return tree_.maxDepth; }
  // Entry `index`; out of range an empty entry of depth 0 and state Unknown.
  const FolderEntry& GetFolderEntry(int index) const;
  // The path and state of entry `index` (empty and Unknown out of range).
  FolderState GetFolderPath(int index, std::string* path) const;

  // The first entry whose path is `path` exactly (letter case counts) is shown Deleted
  // or Moved; views are updated with hint index + 1, or 0 when no entry matched.
  void MarkFolderMoved(const std::string& path, const std::string& newPath, bool toDeleted) override;
  // Listed or Seen becomes Open when `open`; Open becomes Seen when not.
  void MarkFolderOpen(const std::string& path, bool open) override;
  std::vector<std::string> FolderPaths() const override;

 private:
  // The entry whose path is `path` exactly, or -1.
  int IndexOf(const std::string& path) const;
  bool Build(const std::string& path);
  // The tree stays for the whole run: only the end of the run closes it.
  bool ClientIsExiting() const { return services_.settings->exiting(); }
  // Watches every folder of the tree for folders made or removed in it.
  void WatchFolders();

  ClientServices services_;
  FolderTree tree_;
  std::unique_ptr<DirWatcher> watcher_;
};

}  // namespace pelldesk
