// CMsgView, the view of every message window: a plain-text editor that does not wrap,
// read-only for a stored message, in the client's display font. It writes the
// composition form of its document when told to, and gives the document the text as
// the message's bytes with offsets that agree with the editor's positions everywhere.
// It reaches the rest of the client only through the services it is made with.
#pragma once

#include <QFont>
#include <QPlainTextEdit>
#include <QPointer>

#include <string>

#include "app/client_services.h"
#include "framework/view.h"
#include "message/msg_text_view.h"
#include "message/text_search.h"

namespace pelldesk {

class CMsgDoc;

class CMsgView : public QPlainTextEdit, public fw::View, public MsgTextView {
 public:
  explicit CMsgView(const ClientServices& services);
  ~CMsgView() override;

  QWidget* widget() override { return this; }

  // Read-only for READ documents, the display font, then the first update.
  void OnInitialUpdate() override;
  // The document's update: a composition's form is written anew (WriteCompositionForm);
  // a READ window keeps its file's text.
  void OnUpdate(fw::View* sender, long hint, const std::string* text) override;
  // A composition's form with `body` (or nothing) as its body, the caret after "To: "
  // while there are no addressees, else at the end.
  void WriteCompositionForm(const std::string* body);

  void SetText(std::string_view bytes) override;
  bool LockText(const char** text, int32_t* length) override;
  void UnlockText() override;
  void GetSelection(std::size_t* start, std::size_t* end) const override;
  void SelectErrorLine(std::size_t offset, bool wholeLine) override;

  // The text as it would be stored, a character the code page cannot hold as "?".
  std::string StoredText() const;
  // Selects from offset `anchor` to offset `caret` (equal: the caret alone) and
  // scrolls the caret into view.
  void SelectOffsets(std::size_t anchor, std::size_t caret);
  std::size_t CaretOffset() const;

  // The Find or Replace dialog open on this view, if any.
  FindReplaceDialog* findDialog() const { return findDialog_; }

 private:
  CMsgDoc* msgDoc() const;
  QTextDocument* textDocument() const { return QPlainTextEdit::document(); }
  QString EditorContents() const;
  std::size_t OffsetOf(int position) const;
  void ReplaceWholeText(std::string_view bytes);
  void ApplyDisplayFont();
  void RegisterCommands();
  void ShowFindDialog(bool replace);
  void FindAgain();

  ClientServices services_;
  QFont defaultFont_;
  bool wasEmpty_ = true;  // the text was empty when the commands last heard of it
  bool writing_ = false;  // text put in by the program, not typed
  std::string locked_;
  int locks_ = 0;
  QPointer<FindReplaceDialog> findDialog_;
};

}  // namespace pelldesk
