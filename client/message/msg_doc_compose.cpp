// CMsgDoc's compositions: replies and forwards opened from a stored message, posting
// through the mail library, and the copies of the last posted and the last abandoned
// composition in the mail directory.
#include <algorithm>

#include "framework/commands.h"
#include "framework/doc_template.h"
#include "framework/wait_cursor.h"
#include "message/msg_doc.h"
#include "message/msg_text_view.h"
#include "message/notice_wnd.h"
#include "message/reply_text.h"
#include "pellam.h"

namespace pelldesk {
namespace {

// The selection of `view` quoted, or nothing when nothing is selected.
bool QuotedSelection(MsgTextView& view, std::string* body) {
  std::size_t start = 0;
  std::size_t end = 0;
  view.GetSelection(&start, &end);
  if (end <= start) return false;
  const char* text = nullptr;
  int32_t length = 0;
  if (!view.LockText(&text, &length)) return false;
  const auto size = static_cast<std::size_t>(length);
  start = std::min(start, size);
  end = std::min(end, size);
  *body = QuoteText(text + start, end - start, "> ");
  view.UnlockText();
  return true;
}

}  // namespace

CMsgDoc* CMsgDoc::OpenComposition() {
  fw::DocTemplate* messages = docTemplate();
  if (messages == nullptr) return nullptr;
  return dynamic_cast<CMsgDoc*>(messages->OpenDocumentFile(nullptr, true));
}

void CMsgDoc::Reply() {
  MsgTextView* view = TextView();
  if (mode != MsgMode::Read || from.empty() || view == nullptr) return;
  CMsgDoc* reply = OpenComposition();
  if (reply == nullptr) return;
  reply->mode = MsgMode::Reply;
  reply->to = from;
  reply->subject = MakeReplySubject(subject, "re: ");
  std::string body;
  if (QuotedSelection(*view, &body)) {
    reply->UpdateAllViews(nullptr, 0, &body);
  } else {
    reply->UpdateAllViews(nullptr);
  }
}

void CMsgDoc::Forward() {
  MsgTextView* view = TextView();
  if (mode != MsgMode::Read || view == nullptr) return;
  CMsgDoc* forward = OpenComposition();
  if (forward == nullptr) return;
  forward->mode = MsgMode::Fwd;
  forward->subject = MakeReplySubject(subject, "fwd: ");
  std::string body;
  if (!QuotedSelection(*view, &body)) {
    // Nothing selected: the stored message whole, header lines included, unquoted.
    const char* text = nullptr;
    int32_t length = 0;
    if (view->LockText(&text, &length)) {
      body.assign(text, static_cast<std::size_t>(length));
      view->UnlockText();
    }
  }
  forward->UpdateAllViews(nullptr, 0, &body);
}

void CMsgDoc::SaveCopy(const char* name) {
  // A copy that cannot be written has had its message; the window closes all the same.
  OnSaveDocument(services_.mailbox->mailDirectory() + name);
  SetModifiedFlag(false);
}

void CMsgDoc::Post() {
  MsgTextView* view = TextView();
  if (!IsComposition() || view == nullptr) return;
  fw::WaitCursor wait;
  const char* text = nullptr;
  int32_t length = 0;
  if (!view->LockText(&text, &length)) {
    wait.Restore();
    ReportUnstorableText();
    return;
  }
  const char* errorPosition = nullptr;
  const uint32_t status = SendMailMessageFromText(text, length, &errorPosition);
  const bool positioned = errorPosition != nullptr && errorPosition >= text && errorPosition <= text + length;
  const std::size_t errorOffset = positioned ? static_cast<std::size_t>(errorPosition - text) : 0;
  view->UnlockText();

  if (status != 0) {
    wait.Restore();
    view->SelectErrorLine(errorOffset, positioned);
    services_.errors->ReportErrorNoArg("Sorry, unable to post mail message.", status, 0);
    return;
  }
  SaveCopy("lastpost.txt");
  Dispatch(fw::kFileClose);  // not modified now, so nothing is asked; deletes this
  wait.Restore();
  CNoticeWnd::Show("Pellam message posted.", 1000);
}

void CMsgDoc::Cancel() {
  if (!IsComposition()) return;
  if (IsModified()) SaveCopy("lastquit.txt");
  Dispatch(fw::kFileClose);
}

}  // namespace pelldesk
