// CMsgDoc: its commands and panes, opening and saving, the title, header extraction,
// the moves that close it and the filing of a message read from "new" at its close.
#include "message/msg_doc.h"

#include "app/resource_ids.h"
#include "folder/message_entry.h"
#include "framework/commands.h"
#include "framework/view.h"
#include "framework/wait_cursor.h"
#include "message/message_file.h"
#include "message/msg_text_view.h"
#include "pellam.h"
#include "platform/paths.h"

namespace pelldesk {

CMsgDoc::CMsgDoc(const ClientServices& services) : services_(services) {
  const UserMailbox& user = *services_.mailbox;
  from = user.fullName().empty() ? user.userName() : user.userName() + "  (" + user.fullName() + ")";

  const auto composing = [this](fw::CommandState& state) { state.enabled = IsComposition(); };
  const auto reading = [this](fw::CommandState& state) { state.enabled = mode == MsgMode::Read; };
  OnCommand(kCmdPost, [this] { Post(); }, composing);
  OnCommand(kCmdCancel, [this] { Cancel(); }, composing);
  OnCommand(kCmdReply, [this] { Reply(); },
            [this](fw::CommandState& state) { state.enabled = mode == MsgMode::Read && !from.empty(); });
  OnCommand(kCmdForward, [this] { Forward(); }, reading);
  OnCommand(kCmdMove, [this] { Move(); }, reading);
  OnCommand(kCmdDelete, [this] { Delete(); }, [this](fw::CommandState& state) {
    state.enabled = mode == MsgMode::Read && folderKind != FolderKind::Deleted;
  });
  OnCommand(kCmdClose, [this] { Close(); }, reading);
  // Copy (32783) has no handler anywhere, so it stays disabled.
  OnUpdate(kPaneMode, [this](fw::CommandState& state) { state.text = ModeText(); });
  OnUpdate(kPaneModified, [this](fw::CommandState& state) {
    state.enabled = IsModified();
    state.text = "MOD";
  });
}

std::string CMsgDoc::ModeText() const {
  switch (mode) {
    case MsgMode::Read: return "READ";
    case MsgMode::Send: return "SEND";
    case MsgMode::Reply: return "REPLY";
    case MsgMode::Fwd: return "FWD";
    default: return "WTF?!";
  }
}

MsgTextView* CMsgDoc::TextView() const {
  return views().empty() ? nullptr : dynamic_cast<MsgTextView*>(views().front());
}

bool CMsgDoc::OnNewDocument() {
  if (!fw::Document::OnNewDocument()) return false;
  mode = MsgMode::Send;
  return true;
}

bool CMsgDoc::OnOpenDocument(const std::string& path) {
  MsgTextView* view = TextView();
  if (view == nullptr) return false;
  std::string bytes;
  if (const uint32_t status = ReadMessageFile(path, &bytes); status != 0) {
    services_.errors->ReportError("Can't open the message file %s.", path.c_str(), status, 0);
    return false;
  }
  view->SetText(bytes);
  ExtractHeaders();
  mode = MsgMode::Read;
  return true;
}

bool CMsgDoc::OnSaveDocument(const std::string& path) {
  MsgTextView* view = TextView();
  if (view == nullptr) return false;
  const char* text = nullptr;
  int32_t length = 0;
  if (!view->LockText(&text, &length)) {
    ReportUnstorableText();
    return false;
  }
  fw::WaitCursor wait;
  const uint32_t status = WriteMessageFile(path, std::string_view(text, static_cast<std::size_t>(length)));
  view->UnlockText();
  wait.Restore();
  if (status != 0) {
    services_.errors->ReportError("Can't save the message to %s.", path.c_str(), status, 0);
    return false;
  }
  return true;
}

void CMsgDoc::ReportUnstorableText() {
  services_.errors->ReportErrorNoArg(
      "The message holds a character that cannot be stored. It has been selected.", 0, 0);
}

void CMsgDoc::SetPathName(const std::string& path) {
  // The fields describe the file the window shows, so they follow every change of
  // path: after Save As the saved copy is not filed from "new" when the window closes.
  LocateFile(path);
  fw::Document::SetPathName(path);  // sets the title
}

void CMsgDoc::LocateFile(const std::string& path) {
  messageNumber = -1;
  folderName.clear();
  folderKind = FolderKind::Other;

  char full[platform::kMaxPath];
  char* name = nullptr;
  const uint32_t length = platform::GetFullPathName(path.c_str(), sizeof full, full, &name);
  if (length == 0 || length >= sizeof full || name == nullptr || *name == '\0') return;
  messageNumber = MessageNumberOf(name);

  std::string dir(full, static_cast<std::size_t>(name - full));  // ends in "/"
  folderKind = FolderKindOf(*services_.mailbox, dir);
  dir.pop_back();
  char folder[platform::kMaxPath];
  const uint32_t folderLength = platform::GetFullPathName(dir.c_str(), sizeof folder, folder);
  if (folderLength != 0 && folderLength < sizeof folder) folderName = platform::FinalName(folder);
}

void CMsgDoc::SetTitle(const std::string& title) {
  if (mode != MsgMode::Read || folderName.empty()) {
    fw::Document::SetTitle(title);  // a composition: "Send" and the running number
    return;
  }
  std::string shown = folderName;
  if (messageNumber >= 0) shown += " #" + std::to_string(messageNumber);
  const char* start = nullptr;
  int32_t length = 0;
  if (TrimAddress(from.c_str(), 0, &start, &length) == 0 && start != nullptr && length > 0) {
    shown += " - " + std::string(start, static_cast<std::size_t>(length));
  }
  fw::Document::SetTitle(shown);
}

void CMsgDoc::ExtractHeaders() {
  MsgTextView* view = TextView();
  const char* text = nullptr;
  int32_t length = 0;
  if (view == nullptr || !view->LockText(&text, &length)) return;  // a file's bytes always fit

  const char* const names[5] = {"Date", "From", "To", "Cc", "Subject"};
  char* values[5] = {};
  const char* stop = text;
  int32_t remaining = length;
  const uint32_t status = GetMailHeaders(&stop, &remaining, 5, names, values);
  std::string* const fields[5] = {&date, &from, &to, &cc, &subject};
  for (int i = 0; i < 5; ++i) *fields[i] = values[i] != nullptr ? values[i] : "";
  const bool stopped = stop != nullptr && stop >= text && stop <= text + length;
  const std::size_t stopOffset = stopped ? static_cast<std::size_t>(stop - text) : 0;
  view->UnlockText();
  FreeMailHeaders(5, values);

  if (status == 0) return;
  if (stopped) view->SelectErrorLine(stopOffset, true);
  services_.errors->ReportErrorNoArg("Can't extract message headers.", status, 0);
}

void CMsgDoc::OnFileMoved(const std::string&, const std::string& newPath, bool toDeleted) {
  if (mode != MsgMode::Read && IsModified() && closeReason != CloseReason::Own) {
    // A draft changed since it was saved: closing would lose the changes. It stays
    // open without a file, so that its next Save asks where it goes ("deleted" is
    // emptied at exit), and keeps its title.
    const std::string title = this->title();
    SetPathName("");
    SetTitle(title);
    return;
  }
  SetPathName(newPath);
  if (closeReason == CloseReason::Own) return;  // this document's own filing at close
  closeReason = toDeleted ? CloseReason::Deleted : CloseReason::Moved;
  OnCloseDocument();
}

void CMsgDoc::OnCloseDocument() {
  // A second close while the filing below shows a message waits for the first.
  if (closing_) return;
  closing_ = true;
  if (closeReason == CloseReason::None && mode == MsgMode::Read) {
    FolderOperations& operations = *services_.operations;
    const std::string path = pathName();
    bool filed = false;
    if (folderKind == FolderKind::New) {
      closeReason = CloseReason::Own;
      filed = operations.MoveMessage(path, "", true, false) == 0;  // "" is the "main" folder
    }
    if (!filed) operations.NotifyMessageClosed(path);  // its folder window shows it as seen
  }
  fw::Document::OnCloseDocument();  // deletes this
}

void CMsgDoc::Move() {
  if (mode != MsgMode::Read) return;
  FolderChoice choice;
  if (!services_.chooser->ChooseDestination(&choice)) return;
  const std::string path = pathName();
  // On success the move's notification closes this window.
  services_.operations->MoveMessage(path, choice.name, choice.allowCreate, false);
}

void CMsgDoc::Delete() {
  if (mode != MsgMode::Read || folderKind == FolderKind::Deleted) return;
  const std::string path = pathName();
  services_.operations->DeleteMessage(path, false);
}

void CMsgDoc::Close() {
  if (mode == MsgMode::Read) Dispatch(fw::kFileClose);
}

}  // namespace pelldesk
