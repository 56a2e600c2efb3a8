// The folder operations of CMailApp: opening the three kinds of window (or bringing an
// open one to the front), finding open documents by path, moving and deleting message
// files, removing folders and purging "deleted", and telling the open windows what
// changed. No window changes its own state after a move: the notifications do it.
#include <strings.h>

#include <cstring>

#include "app/mail_app.h"
#include "app/mail_paths.h"
#include "app/mailbox_listeners.h"
#include "app/resource_ids.h"
#include "framework/application.h"
#include "framework/child_frame.h"
#include "framework/doc_template.h"
#include "framework/document.h"
#include "framework/mdi_frame.h"
#include "framework/message_box.h"
#include "framework/view.h"
#include "framework/wait_cursor.h"
#include "pellam.h"
#include "pellam_mailbox.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/find.h"
#include "platform/paths.h"

namespace pelldesk {
namespace {

bool SamePath(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) == 0; }

// The full path of `path`, or `path` itself when it cannot be resolved.
std::string Resolved(const std::string& path) {
  char full[platform::kMaxPath];
  const uint32_t length = platform::GetFullPathName(path.c_str(), sizeof full, full);
  if (length == 0 || length >= sizeof full) return path;
  return std::string(full, length);
}

fw::Document* FindIn(const fw::DocTemplate* docTemplate, const std::string& path) {
  if (docTemplate == nullptr) return nullptr;
  for (fw::Document* doc : docTemplate->documents()) {
    if (SamePath(doc->pathName(), path)) return doc;
  }
  return nullptr;
}

// The directory of a file path: the text before its last "/".
std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string Trimmed(const std::string& path) {
  std::string trimmed;
  TrimPathSeparators(path, &trimmed);
  return trimmed;
}

unsigned ContinueStyle(bool askToContinue) { return askToContinue ? fw::MB_OKCANCEL : 0; }

}  // namespace

bool CMailApp::OpenMessageWindow(const char* path) {
  if (path != nullptr) {
    if (fw::Document* doc = FindOpenDocument(path)) return ActivateDocumentWindow(doc, false);
  }
  return messageTemplate_ != nullptr && messageTemplate_->OpenDocumentFile(path, true) != nullptr;
}

namespace {

bool OpenDirectoryWindow(CMailApp& app, fw::DocTemplate* docTemplate, const std::string& path) {
  std::string stripped;
  if (!TrimPathSeparators(path, &stripped)) return false;
  if (!stripped.empty()) {
    if (fw::Document* doc = app.FindOpenDocument(stripped)) return app.ActivateDocumentWindow(doc, true);
  }
  return docTemplate != nullptr && docTemplate->OpenDocumentFile(stripped.c_str(), true) != nullptr;
}

}  // namespace

bool CMailApp::OpenFolderWindow(const std::string& path) { return OpenDirectoryWindow(*this, folderTemplate_, path); }

bool CMailApp::OpenTreeWindow(const std::string& path) { return OpenDirectoryWindow(*this, treeTemplate_, path); }

fw::Document* CMailApp::FindOpenDocument(const std::string& path) const {
  // No wait cursor: nothing here touches the disk, and a folder's load asks this for
  // every message that arrives.
  const std::string resolved = Resolved(path);
  for (const auto& docTemplate : templates()) {
    if (fw::Document* doc = FindIn(docTemplate.get(), resolved)) return doc;
  }
  return nullptr;
}

std::vector<std::string> CMailApp::OpenDocumentPaths() const {
  std::vector<std::string> paths;
  for (const fw::Document* doc : AllDocuments()) {
    if (!doc->pathName().empty()) paths.push_back(doc->pathName());
  }
  return paths;
}

bool CMailApp::ActivateDocumentWindow(fw::Document* document, bool refresh) {
  if (document == nullptr || document->views().empty()) return false;
  fw::View* view = document->views().front();
  if (fw::ChildFrame* frame = view->frame()) {
    const int show = frame->isMinimized() ? fw::SW_RESTORE : frame->isMaximized() ? fw::SW_SHOWMAXIMIZED : -1;
    frame->ActivateFrame(show);
  }
  // A child frame lives inside the main window, which comes to the front as well.
  if (QWidget* main = mainWindow()) {
    main->raise();
    main->activateWindow();
  }
  if (refresh) view->Dispatch(kCmdRefresh);
  return true;
}

int CMailApp::DeleteMessage(const std::string& path, bool askToContinue) {
  fw::WaitCursor wait;
  char newPath[platform::kMaxPath] = "";
  const std::string folder = deletedFolderName_ + "/";
  const uint32_t status = MoveMailFile(path.c_str(), mailDirectory_.c_str(), folder.c_str(), newPath, 1);
  if (status == 0) {
    NotifyMessageMoved(path, newPath, true);
    return 0;
  }
  return ReportError("Move to folder \"%s\" failed.", deletedFolderName_.c_str(), status,
                     ContinueStyle(askToContinue));
}

int CMailApp::MoveMessage(const std::string& path, const std::string& folderName, bool allowCreate,
                          bool askToContinue) {
  fw::WaitCursor wait;
  const std::string folder = folderName.empty() ? mainFolderName_ : folderName;
  char newPath[platform::kMaxPath] = "";
  const std::string sub = folder + "/";
  const uint32_t status =
      MoveMailFile(path.c_str(), mailDirectory_.c_str(), sub.c_str(), newPath, allowCreate ? 1 : 0);
  if (status == 0) {
    NotifyMessageMoved(path, newPath, false);
    return 0;
  }
  if (status == ERROR_PATH_NOT_FOUND) {
    ReportError("Destination folder \"%s\" does not exist.", folder.c_str(), 0, 0);
    return askToContinue ? fw::IDCANCEL : fw::IDOK;
  }
  return ReportError("Move to folder \"%s\" failed.", folder.c_str(), status, ContinueStyle(askToContinue));
}

int CMailApp::DeleteFolder(const std::string& path, bool askToContinue) {
  fw::WaitCursor wait;
  const unsigned style = ContinueStyle(askToContinue);
  const bool endsInSeparator = !path.empty() && platform::IsSeparator(path.back());
  const std::string join = endsInSeparator ? "" : "/";

  const std::string counter = path + join + pellam::mailbox::kCounterName;
  if (!platform::DeleteFile(counter.c_str())) {
    const uint32_t error = platform::GetLastError();
    if (error != ERROR_FILE_NOT_FOUND) return ReportError("File %s could not be deleted.", counter.c_str(), error, style);
  }
  // The platform refuses a directory that still holds anything. It names the
  // directory itself, not its "." entry, which no system removes.
  if (!platform::RemoveDirectory(Trimmed(path).c_str())) {
    return ReportError("Directory %s could not be removed.", path.c_str(), platform::GetLastError(), style);
  }
  NotifyFolderRemoved(path, path, true);

  int result = 0;
  if (folderDeletion()) {
    // A chain of folders the deletion leaves empty goes too, up to but never
    // including the mail directory and the three standard folders.
    char parent[platform::kMaxPath];
    const std::string up = path + join + "../";
    const uint32_t length = platform::GetFullPathName(up.c_str(), sizeof parent, parent);
    if (length != 0 && length < sizeof parent) {
      const std::string parentPath(parent, length);
      if (!SamePath(parentPath, mailDirectory_) && !SamePath(parentPath, MainFolderPath()) &&
          !SamePath(parentPath, DeletedFolderPath()) && !SamePath(parentPath, NewFolderPath()) &&
          IsFolderEmpty(parentPath)) {
        result = DeleteFolder(parentPath, askToContinue);
      }
    }
  }
  return result;
}

void CMailApp::PurgeDeleted() {
  fw::WaitCursor wait;
  const std::string folder = DeletedFolderPath();
  platform::FindData data{};
  platform::FindHandle search = platform::FindFirstFile((folder + pellam::mailbox::kMessageFiles).c_str(), &data);
  if (search == nullptr) return;
  do {
    // Only message files directly in "deleted" go; its sub-folders and counter stay.
    if ((data.attributes & platform::kAttrDirectory) != 0) continue;
    const std::string full = folder + data.name;
    if (platform::DeleteFile(full.c_str())) {
      NotifyMessageMoved(full, full, true);
    } else {
      ReportError("File %s could not be deleted.", full.c_str(), platform::GetLastError(), 0);
    }
  } while (platform::FindNextFile(search, &data));
  platform::FindClose(search);
}

void CMailApp::NotifyMessageMoved(const std::string& oldPath, const std::string& newPath, bool toDeleted) {
  // Copies: a listener may close its document, and with it the strings it passed.
  const std::string from = oldPath;
  const std::string to = newPath;
  folderEmptiness_.Forget(DirectoryOf(from));
  folderEmptiness_.Forget(DirectoryOf(to));
  fw::CommandStateChanged();  // Purge Deleted and the folder commands may change
  if (auto* message = dynamic_cast<MovedFileListener*>(FindIn(messageTemplate_, from))) {
    message->OnFileMoved(from, to, toDeleted);
  }
  if (auto* folder = dynamic_cast<FolderEntryListener*>(FindIn(folderTemplate_, DirectoryOf(from)))) {
    folder->MarkEntryMoved(from, to, toDeleted);
  }
}

void CMailApp::NotifyMessageClosed(const std::string& path) {
  const std::string closed = path;
  if (auto* folder = dynamic_cast<FolderEntryListener*>(FindIn(folderTemplate_, DirectoryOf(closed)))) {
    folder->MarkEntryOpen(closed, false);
  }
}

void CMailApp::NotifyFolderRemoved(const std::string& oldPath, const std::string& newPath, bool toDeleted) {
  const std::string from = Trimmed(oldPath);
  const std::string to = Trimmed(newPath);
  folderEmptiness_.ForgetAll();  // the folder, its parent and the folder it went to
  fw::CommandStateChanged();
  if (auto* folder = dynamic_cast<MovedFileListener*>(FindIn(folderTemplate_, from))) {
    folder->OnFileMoved(from, to, toDeleted);
  }
  if (treeTemplate_ == nullptr) return;
  for (fw::Document* doc : treeTemplate_->documents()) {
    if (auto* tree = dynamic_cast<FolderTreeListener*>(doc)) tree->MarkFolderMoved(from, to, toDeleted);
  }
}

void CMailApp::NotifyFolderClosed(const std::string& path) {
  const std::string closed = Trimmed(path);
  if (treeTemplate_ == nullptr) return;
  for (fw::Document* doc : treeTemplate_->documents()) {
    if (auto* tree = dynamic_cast<FolderTreeListener*>(doc)) tree->MarkFolderOpen(closed, false);
  }
}

}  // namespace pelldesk
