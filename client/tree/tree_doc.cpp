// The folder tree document: builds, notices from the folder operations, and the close
// that waits for the end of the run.
#include "tree/tree_doc.h"

#include <algorithm>
#include <map>

#include "app/dir_watcher.h"
#include "framework/commands.h"
#include "framework/wait_cursor.h"
#include "platform/find.h"

namespace pelldesk {
namespace {

FolderTreeHooks ClientHooks(const ClientServices& services) {
  FolderTreeHooks hooks;
  OpenWindows* windows = services.windows;
  ErrorReporter* errors = services.errors;
  hooks.isOpen = [windows](const std::string& fullPath) { return windows->IsDocumentOpen(fullPath); };
  hooks.report = [errors](const char* format, const std::string& text, uint32_t status) {
    errors->ReportError(format, text.c_str(), status, 0);
  };
  return hooks;
}

}  // namespace

CTreeDoc::CTreeDoc(const ClientServices& services) : services_(services) {
  // The framework's Close would end the document without asking the frame.
  OnCommand(
      fw::kFileClose, [this] { OnCloseDocument(); },
      [this](fw::CommandState& state) { state.enabled = ClientIsExiting(); });
}

CTreeDoc::~CTreeDoc() = default;

bool CTreeDoc::OnNewDocument() {
  services_.errors->ReportErrorNoArg("CTreeDoc::OnNewDocument()\r\nYou can't get here!", 16, 0);
  return false;
}

bool CTreeDoc::OnOpenDocument(const std::string& path) {
  if (!Build(path)) return false;
  WatchFolders();
  return true;
}

void CTreeDoc::WatchFolders() {
  if (!watcher_) watcher_ = std::make_unique<DirWatcher>();
  watcher_->Watch(FolderPaths(), false,
                  [this](const std::vector<DirChange>& changes, bool lost, bool alive) { ApplyChanges(changes, lost, alive); });
}

bool CTreeDoc::followsDisk() const { return watcher_ != nullptr && watcher_->IsWatching(); }

void CTreeDoc::ApplyChanges(const std::vector<DirChange>& changes, bool lost, bool alive) {
  // Messages come and go in the folders all the time; only folders change the tree,
  // and a folder this client removed or replaced shows so already.
  const bool news = std::any_of(changes.begin(), changes.end(), [this](const DirChange& change) {
    // The build's own rule: folder names have no dot.
    if (!change.directory || !platform::MatchName("*.", change.name.c_str())) return false;
    const int index = IndexOf(change.dir + "/" + change.name);
    return change.present ? index < 0 : index >= 0 && IsSelectable(tree_.entries[static_cast<std::size_t>(index)].state);
  });
  if (!news && !lost && alive) return;
  std::map<std::string, FolderState> before;
  for (const FolderEntry& entry : tree_.entries) before.emplace(entry.path, entry.state);
  Build(pathName());
  for (FolderEntry& entry : tree_.entries) {
    const auto it = before.find(entry.path);
    // A folder seen before stays seen; one shown gone is there again.
    if (it != before.end() && it->second == FolderState::Seen && entry.state == FolderState::Listed) {
      entry.state = FolderState::Seen;
    }
  }
  WatchFolders();
  UpdateAllViews(nullptr, 0);
}

bool CTreeDoc::OnSaveDocument(const std::string&) { return false; }

void CTreeDoc::DeleteContents() { tree_ = FolderTree{}; }

bool CTreeDoc::CanCloseFrame(fw::ChildFrame* frame) {
  return ClientIsExiting() && fw::Document::CanCloseFrame(frame);
}

bool CTreeDoc::Build(const std::string& path) {
  SetModifiedFlag(false);
  fw::WaitCursor wait;
  DeleteContents();
  const bool ok = AddFolder(path, 0, ClientHooks(services_), &tree_);
  if (ok) {
    tree_.entries.shrink_to_fit();
  } else {
    DeleteContents();  // a failed build leaves an empty tree
  }
  return ok;
}

void CTreeDoc::Refresh() {
  Build(pathName());
  WatchFolders();
  UpdateAllViews(nullptr, 0);
}

const FolderEntry& CTreeDoc::GetFolderEntry(int index) const {
  static const FolderEntry none{};
  if (index < 0 || index >= count()) return none;
  return tree_.entries[static_cast<std::size_t>(index)];
}

FolderState CTreeDoc::GetFolderPath(int index, std::string* path) const {
  const FolderEntry& entry = GetFolderEntry(index);
  *path = entry.path;
  return entry.state;
}

int CTreeDoc::IndexOf(const std::string& path) const {
  for (int i = 0; i < count(); ++i) {
    if (tree_.entries[static_cast<std::size_t>(i)].path == path) return i;
  }
  return -1;
}

void CTreeDoc::MarkFolderMoved(const std::string& path, const std::string&, bool toDeleted) {
  const int index = IndexOf(path);
  if (index >= 0) {
    tree_.entries[static_cast<std::size_t>(index)].state = toDeleted ? FolderState::Deleted : FolderState::Moved;
  }
  UpdateAllViews(nullptr, index + 1);
}

void CTreeDoc::MarkFolderOpen(const std::string& path, bool open) {
  const int index = IndexOf(path);
  if (index < 0) return;
  FolderState& state = tree_.entries[static_cast<std::size_t>(index)].state;
  if (open && (state == FolderState::Listed || state == FolderState::Seen)) {
    state = FolderState::Open;
  } else if (!open && state == FolderState::Open) {
    state = FolderState::Seen;
  }
  UpdateAllViews(nullptr, index + 1);
}

std::vector<std::string> CTreeDoc::FolderPaths() const {
  std::vector<std::string> paths;
  paths.reserve(tree_.entries.size());
  for (const FolderEntry& entry : tree_.entries) paths.push_back(entry.path);
  return paths;
}

}  // namespace pelldesk
