// The folder document: open, load, the notifications, the folder commands and the
// close that may remove an empty folder.
#include "folder/dir_doc.h"

#include <algorithm>
#include <cctype>
#include <unordered_map>
#include <unordered_set>

#include "app/dir_watcher.h"
#include "app/folder_emptiness.h"
#include "app/mail_paths.h"
#include "app/resource_ids.h"
#include "folder/entry_reader.h"
#include "framework/message_box.h"
#include "framework/wait_cursor.h"
#include "pellam_mailbox.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/find.h"
#include "platform/paths.h"

namespace pelldesk {

CDirDoc::CDirDoc(const ClientServices& services) : services_(services) {
  OnCommand(kCmdRefresh, [this] { Refresh(); });
  OnCommand(
      kCmdDeleteFolder, [this] { DeleteFolder(); },
      [this](fw::CommandState& state) { state.enabled = FolderIsEmpty(); });
  OnCommand(
      kCmdDeleteContents, [this] { DeleteAllMessages(); },
      [this](fw::CommandState& state) { state.enabled = kind_ != FolderKind::Deleted && !FolderIsEmpty(); });
  OnCommand(
      kCmdMoveContents, [this] { MoveAllMessages(); },
      [this](fw::CommandState& state) { state.enabled = !FolderIsEmpty(); });
}

CDirDoc::~CDirDoc() = default;

bool CDirDoc::OnNewDocument() {
  // Folder windows open on a directory only; the status is the system's own code 16.
  services_.errors->ReportErrorNoArg("CDirDoc::OnNewDocument()\r\nYou can't get here!", 16, 0);
  return false;
}

bool CDirDoc::OnOpenDocument(const std::string& path) {
  SetModifiedFlag(false);
  char full[platform::kMaxPath];
  char* finalName = nullptr;
  platform::SetLastError(0);
  const uint32_t length = platform::GetFullPathName(path.c_str(), sizeof full, full, &finalName);
  if (length == 0 || length >= sizeof full || finalName == nullptr || *finalName == '\0') {
    const uint32_t error = length >= sizeof full ? ERROR_BUFFER_OVERFLOW : platform::GetLastError();
    services_.errors->ReportError("Path name %s cannot be parsed.", path.c_str(), error, 0);
    return false;
  }
  folderPath_ = std::string(full, length) + "/";
  kind_ = FolderKindOf(*services_.mailbox, folderPath_);
  // Watching starts before the listing, so that nothing arriving meanwhile is missed.
  // A folder that cannot be watched still opens; Refresh brings it up to date.
  watcher_ = std::make_unique<DirWatcher>();
  watcher_->Watch({folderPath_}, true, [this](const std::vector<DirChange>& changes, bool lost, bool) {
    if (lost) {
      Refresh();
    } else {
      ApplyChanges(changes);
    }
  });
  if (!Load()) {
    watcher_.reset();
    folderPath_.clear();
    return false;
  }
  return true;
}

bool CDirDoc::OnSaveDocument(const std::string&) { return false; }

void CDirDoc::DeleteContents() { entries_.clear(); }

namespace {

// Letter case folded as the open-document search compares paths.
std::string Folded(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

bool CDirDoc::Load() {
  fw::WaitCursor wait;
  entries_.clear();
  FolderChanged();
  // The windows open on this folder's files, asked once for the whole listing rather
  // than once per entry: a folder of thousands of messages has a handful open.
  std::unordered_set<std::string> open;
  const std::string folded = Folded(folderPath_);
  for (const std::string& path : services_.windows->OpenDocumentPaths()) {
    std::string name = Folded(path);
    if (name.compare(0, folded.size(), folded) == 0) open.insert(name.substr(folded.size()));
  }
  const std::string pattern = folderPath_ + pellam::mailbox::kMessageFiles;
  platform::FindData data{};
  platform::FindHandle search = platform::FindFirstFile(pattern.c_str(), &data);
  if (search != nullptr) {
    do {
      entries_.push_back(NewListedEntry(data.name, !open.empty() && open.count(Folded(data.name)) != 0));
    } while (platform::FindNextFile(search, &data));
  }
  const uint32_t error = platform::GetLastError();
  platform::FindClose(search);

  bool listed = true;
  if (error != ERROR_FILE_NOT_FOUND && error != ERROR_NO_MORE_FILES) {
    services_.errors->ReportError("Search for %s failed.", pattern.c_str(), error, 0);
    listed = false;
  }
  // A folder that holds a message is not empty: the command rules that run next need
  // not list it all over again (an empty listing says nothing of sub-folders).
  if (listed && !entries_.empty()) services_.emptiness->Note(folderPath_, false);
  // One bad file never keeps the others from being read.
  std::vector<char> buffer;
  for (MessageEntry& entry : entries_) ReadEntryHeaders(folderPath_, &entry, &buffer, *services_.errors);
  return listed;
}

void CDirDoc::Refresh() {
  Load();
  UpdateAllViews(nullptr, 0);
}

bool CDirDoc::followsDisk() const { return watcher_ != nullptr && watcher_->IsWatching(); }

void CDirDoc::ApplyChanges(const std::vector<DirChange>& changes) {
  changedEntries_.clear();
  // A name changed several times in one burst counts once, as it stands at the end.
  std::unordered_map<std::string, std::size_t> last;
  for (std::size_t i = 0; i < changes.size(); ++i) last[changes[i].name] = i;
  // A burst (a whole folder moved in) finds its entries by name rather than by a
  // search of the list for each.
  std::unordered_map<std::string, int> byName;
  if (last.size() > 8) {
    for (std::size_t i = 0; i < entries_.size(); ++i) byName.emplace(entries_[i].fileName, static_cast<int>(i));
  }
  const auto find = [&](const std::string& name) {
    if (byName.empty()) return IndexOf(folderPath_ + name);
    const auto it = byName.find(name);
    return it != byName.end() ? it->second : -1;
  };
  std::vector<char> buffer;
  for (std::size_t i = 0; i < changes.size(); ++i) {
    const DirChange& change = changes[i];
    if (last[change.name] != i || change.directory ||
        !platform::MatchName(pellam::mailbox::kMessageFiles, change.name.c_str())) {
      continue;
    }
    const std::string path = folderPath_ + change.name;
    int index = find(change.name);
    if (change.present) {
      if (platform::GetFileAttributes(path.c_str()) == platform::kInvalidAttributes) continue;  // gone again
      if (index < 0) {
        entries_.push_back(NewListedEntry(change.name, services_.windows->IsDocumentOpen(path)));
        index = count() - 1;
        if (!byName.empty()) byName.emplace(change.name, index);
      } else if (!IsLiveEntry(entries_[static_cast<std::size_t>(index)].state)) {
        entries_[static_cast<std::size_t>(index)].state = kEntryListed;  // back again
      }
      ReadEntryHeaders(folderPath_, &entries_[static_cast<std::size_t>(index)], &buffer, *services_.errors);
    } else {
      // Moves and deletions of this client have marked their entries already.
      if (index < 0 || !IsLiveEntry(entries_[static_cast<std::size_t>(index)].state)) continue;
      entries_[static_cast<std::size_t>(index)].state = kEntryMoved;
    }
    changedEntries_.push_back(index);
  }
  if (changedEntries_.empty()) return;
  std::sort(changedEntries_.begin(), changedEntries_.end());
  changedEntries_.erase(std::unique(changedEntries_.begin(), changedEntries_.end()), changedEntries_.end());
  FolderChanged();
  UpdateAllViews(nullptr, kHintEntriesChanged);
}

const MessageEntry& CDirDoc::GetEntry(int index) const {
  static const MessageEntry none;
  if (index < 0 || index >= count()) return none;
  return entries_[static_cast<std::size_t>(index)];
}

int CDirDoc::GetEntryPath(int index, std::string* path) const {
  if (index < 0 || index >= count()) {
    path->clear();
    return kEntryUnknown;
  }
  const MessageEntry& entry = entries_[static_cast<std::size_t>(index)];
  *path = folderPath_ + entry.fileName;
  return entry.state;
}

int CDirDoc::IndexOf(const std::string& path) const {
  if (path.compare(0, folderPath_.size(), folderPath_) != 0) return -1;
  const std::string_view name = std::string_view(path).substr(folderPath_.size());
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].fileName == name) return static_cast<int>(i);
  }
  return -1;
}

void CDirDoc::MarkEntryMoved(const std::string& oldPath, const std::string&, bool toDeleted) {
  const int index = IndexOf(oldPath);
  if (index >= 0) entries_[static_cast<std::size_t>(index)].state = toDeleted ? kEntryDeleted : kEntryMoved;
  FolderChanged();
  UpdateAllViews(nullptr, index + 1);
}

void CDirDoc::MarkEntryOpen(const std::string& path, bool open) {
  const int index = IndexOf(path);
  if (index < 0) return;
  int& state = entries_[static_cast<std::size_t>(index)].state;
  if (open && (state == kEntryListed || state == kEntrySeen)) {
    state = kEntryOpen;
  } else if (!open && state == kEntryOpen) {
    state = kEntrySeen;
  }
  UpdateAllViews(nullptr, index + 1);
}

void CDirDoc::OnFileMoved(const std::string&, const std::string& newPath, bool toDeleted) {
  SetPathName(newPath);
  if (closeReason_ == CloseReason::Own) {
    removedByOwnClose_ = true;  // the close under way asked for this removal
    return;
  }
  closeReason_ = toDeleted ? CloseReason::Deleted : CloseReason::Moved;
  OnCloseDocument();
}

void CDirDoc::OnCloseDocument() {
  if (closing_) return;
  closing_ = true;
  if (!folderPath_.empty() && closeReason_ == CloseReason::None) {
    const std::string folder = folderPath_;
    // The fresh answer, not the shared one: the folder goes on it.
    if (kind_ == FolderKind::Other && services_.settings->folderDeletion() && IsFolderEmpty(folder)) {
      closeReason_ = CloseReason::Own;
      services_.operations->DeleteFolder(folder, false);
    }
    // A removal reports itself to the tree; otherwise the tree learns the window closed.
    if (!removedByOwnClose_) services_.operations->NotifyFolderClosed(folder);
  }
  fw::Document::OnCloseDocument();  // deletes this
}

bool CDirDoc::FolderIsEmpty() const { return services_.emptiness->IsEmpty(folderPath_); }

void CDirDoc::FolderChanged() { services_.emptiness->Forget(folderPath_); }

void CDirDoc::DeleteFolder() {
  // A copy: a successful removal closes this document before the operation returns.
  const std::string folder = folderPath_;
  services_.operations->DeleteFolder(folder, false);
}

template <typename Operation>
void CDirDoc::ForEachLiveEntry(Operation operation) {
  fw::WaitCursor wait;
  // By index: an operation's notices change states, never the array.
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (!IsLiveEntry(entries_[i].state)) continue;
    if (operation(folderPath_ + entries_[i].fileName) == fw::IDCANCEL) break;
  }
}

void CDirDoc::DeleteAllMessages() {
  if (kind_ == FolderKind::Deleted) return;
  FolderOperations& operations = *services_.operations;
  ForEachLiveEntry([&operations](const std::string& path) { return operations.DeleteMessage(path, true); });
}

void CDirDoc::MoveAllMessages() {
  FolderChoice choice;
  if (!services_.chooser->ChooseDestination(&choice)) return;
  FolderOperations& operations = *services_.operations;
  ForEachLiveEntry([&](const std::string& path) {
    return operations.MoveMessage(path, choice.name, choice.allowCreate, true);
  });
}

}  // namespace pelldesk
