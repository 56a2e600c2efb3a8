// CDirDoc, the document of a folder window (template 130): the folder's message files
// in the order the directory listing gave them, with the headers the list shows and
// each message's state, kept in step with the disk by a change notification. The
// document never changes its files: moves and deletions are
// the folder operations, which report back through the listeners. It reaches the
// rest of the client only through the services it is made with, and holds no widget,
// so tests drive it with stand-ins and without a window.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/client_services.h"
#include "app/mailbox_listeners.h"
#include "platform/change_notify.h"
#include "folder/folder_kind.h"
#include "folder/message_entry.h"
#include "framework/document.h"

namespace pelldesk {

using platform::DirChange;

class DirWatcher;

// The update hint after the folder changed on disk: the entries changedEntries()
// names were added or changed in place; no entry moved.
inline constexpr long kHintEntriesChanged = -1;

class CDirDoc : public fw::Document, public MovedFileListener, public FolderEntryListener {
 public:
  explicit CDirDoc(const ClientServices& services);
  ~CDirDoc() override;

  bool OnNewDocument() override;
  bool OnOpenDocument(const std::string& path) override;
  bool OnSaveDocument(const std::string& path) override;
  void DeleteContents() override;
  void OnCloseDocument() override;

  // Loads the folder again and tells the views to start from scratch (hint 0).
  void Refresh();

  // Follows changes of the folder on disk, as its watch reports them: a message file
  // that arrives is added at the end (only its headers are read), one that is written
  // again is read again, one that goes away is shown moved. Tells the views with
  // kHintEntriesChanged when an entry changed.
  void ApplyChanges(const std::vector<DirChange>& changes);
  // The entries the last ApplyChanges added or changed, in ascending order.
  const std::vector<int>& changedEntries() const { return changedEntries_; }
  bool followsDisk() const;

  // The folder's path ending in "/"; empty after a failed open.
  const std::string& folderPath() const { return folderPath_; }
  FolderKind kind() const { return kind_; }
  CloseReason closeReason() const { return closeReason_; }

  int count() const { return static_cast<int>(entries_.size()); }
  // Entry `index`; out of range an entry with number -1, empty texts, an all-zero
  // date and state 0.
  const MessageEntry& GetEntry(int index) const;
  // The full path of entry `index` and its state (empty and 0 out of range).
  int GetEntryPath(int index, std::string* path) const;

  // The notifications of the folder operations; paths are compared exactly.
  void MarkEntryMoved(const std::string& oldPath, const std::string& newPath, bool toDeleted) override;
  void MarkEntryOpen(const std::string& path, bool open) override;
  void OnFileMoved(const std::string& oldPath, const std::string& newPath, bool toDeleted) override;

  // The folder commands, public so that tests can run them without a menu.
  void DeleteFolder();       // 32790
  void DeleteAllMessages();  // 32791 Delete Contents
  void MoveAllMessages();    // 32792 Move Contents

 private:
  // Lists folderPath_ + "*.mai" and reads every entry's headers; false when the
  // search failed, with what was listed until then kept.
  bool Load();
  int IndexOf(const std::string& path) const;
  // IsFolderEmpty of the folder, as the enable rules share it; FolderChanged tells
  // them the folder changed.
  bool FolderIsEmpty() const;
  void FolderChanged();
  // What DeleteFolder, Delete Contents and Move Contents would do on which file.
  template <typename Operation>
  void ForEachLiveEntry(Operation operation);

  ClientServices services_;
  std::string folderPath_;
  FolderKind kind_ = FolderKind::Other;
  CloseReason closeReason_ = CloseReason::None;
  std::vector<MessageEntry> entries_;
  std::vector<int> changedEntries_;
  std::unique_ptr<DirWatcher> watcher_;
  bool closing_ = false;
  // Set when the folder operations report the removal this document's close asked for.
  bool removedByOwnClose_ = false;
};

}  // namespace pelldesk
