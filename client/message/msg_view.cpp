// CMsgView: the editor of a message window and its commands.
#include "message/msg_view.h"

#include <QApplication>
#include <QClipboard>
#include <QTextBlock>
#include <QTextCursor>

#include <climits>

#include "app/not_found.h"
#include "app/resource_ids.h"
#include "framework/application.h"
#include "framework/commands.h"
#include "message/message_text.h"
#include "message/msg_doc.h"
#include "message/reply_text.h"
#include "message/text_print.h"
#include "message/text_search.h"

namespace pelldesk {

CMsgView::CMsgView(const ClientServices& services) : services_(services), defaultFont_(font()) {
  setLineWrapMode(QPlainTextEdit::NoWrap);  // a line of the editor is a line of the text
  setObjectName("CMsgView");
  // Every edit the user makes adds an undo step; text the program puts in adds none.
  connect(textDocument(), &QTextDocument::undoCommandAdded, this, [this] {
    if (writing_) return;
    if (fw::Document* doc = fw::View::document()) doc->SetModifiedFlag(true);
  });
  // Undo, Cut, Copy, Select All and Find follow the text and its selection.
  connect(this, &QPlainTextEdit::selectionChanged, this, &fw::CommandStateChanged);
  connect(this, &QPlainTextEdit::undoAvailable, this, &fw::CommandStateChanged);
  connect(textDocument(), &QTextDocument::contentsChanged, this, [this] {
    // Empty or not is all the rules ask: a keystroke in a long text costs nothing more.
    if (textDocument()->isEmpty() == wasEmpty_) return;
    wasEmpty_ = !wasEmpty_;
    fw::CommandStateChanged();
  });
  RegisterCommands();
}

CMsgView::~CMsgView() = default;

CMsgDoc* CMsgView::msgDoc() const { return dynamic_cast<CMsgDoc*>(fw::View::document()); }

void CMsgView::RegisterCommands() {
  const auto editable_selection = [this](fw::CommandState& state) {
    state.enabled = !isReadOnly() && textCursor().hasSelection();
  };
  const auto has_text = [this](fw::CommandState& state) { state.enabled = !textDocument()->isEmpty(); };
  OnCommand(fw::kEditUndo, [this] { undo(); }, [this](fw::CommandState& state) {
    state.enabled = !isReadOnly() && textDocument()->isUndoAvailable();
  });
  OnCommand(fw::kEditCut, [this] { cut(); }, editable_selection);
  OnCommand(fw::kEditCopy, [this] { copy(); },
            [this](fw::CommandState& state) { state.enabled = textCursor().hasSelection(); });
  OnCommand(fw::kEditPaste, [this] { paste(); },
            [this](fw::CommandState& state) { state.enabled = !isReadOnly() && canPaste(); });
  OnCommand(fw::kEditClear, [this] { textCursor().removeSelectedText(); }, editable_selection);
  OnCommand(fw::kEditSelectAll, [this] { selectAll(); }, has_text);
  OnCommand(fw::kEditFind, [this] { ShowFindDialog(false); }, has_text);
  OnCommand(fw::kEditRepeat, [this] { FindAgain(); }, [this](fw::CommandState& state) {
    state.enabled = !textDocument()->isEmpty() && !LastSearch().what.isEmpty();
  });
  OnCommand(fw::kEditReplace, [this] { ShowFindDialog(true); }, [this](fw::CommandState& state) {
    state.enabled = !isReadOnly() && !textDocument()->isEmpty();
  });
  OnCommand(fw::kFilePrint, [this] { ShowPrintDialog(*this, msgDoc() != nullptr ? msgDoc()->title() : ""); });
  OnCommand(fw::kFilePrintPreview,
            [this] { ShowPrintPreview(*this, msgDoc() != nullptr ? msgDoc()->title() : ""); });
  OnCommand(kCmdFontChange, [this] {
    ApplyDisplayFont();
    viewport()->update();
  });
}

void CMsgView::OnInitialUpdate() {
  CMsgDoc* doc = msgDoc();
  if (doc != nullptr && doc->mode == MsgMode::Read) {
    setReadOnly(true);
    if (!isReadOnly()) {
      services_.errors->ReportErrorNoArg("Failed to set view read-only.", 0, 0);
    } else {
      // The caret still moves and selects, so that a reply can quote from the keyboard.
      setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    }
  }
  ApplyDisplayFont();
  fw::View::OnInitialUpdate();
}

void CMsgView::ApplyDisplayFont() {
  const QFont* display = services_.settings->displayFont();
  setFont(display != nullptr ? *display : defaultFont_);
}

void CMsgView::OnUpdate(fw::View* sender, long hint, const std::string* text) {
  CMsgDoc* doc = msgDoc();
  if (doc != nullptr && doc->mode != MsgMode::Read) WriteCompositionForm(text);
  fw::View::OnUpdate(sender, hint, text);
}

void CMsgView::WriteCompositionForm(const std::string* body) {
  const CMsgDoc* doc = msgDoc();
  if (doc == nullptr) return;
  const std::string form =
      CompositionText(doc->from, doc->to, doc->cc, doc->subject, body != nullptr ? *body : std::string());
  ReplaceWholeText(form);
  // A new message or a forward waits for its addressees after "To: "; a reply waits
  // at the end of its quoted text.
  const std::size_t caret = doc->to.empty() ? EndOfLine(form, 1) : form.size();
  SelectOffsets(caret, caret);
}

void CMsgView::ReplaceWholeText(std::string_view bytes) {
  writing_ = true;
  setPlainText(EditorText(bytes));
  writing_ = false;
}

void CMsgView::SetText(std::string_view bytes) { ReplaceWholeText(bytes); }

QString CMsgView::EditorContents() const {
  QString contents;
  for (QTextBlock block = textDocument()->begin(); block.isValid(); block = block.next()) {
    if (block != textDocument()->begin()) contents += QChar(u'\n');
    contents += block.text();
  }
  return contents;
}

std::string CMsgView::StoredText() const {
  qsizetype unstorable = -1;
  return StoredBytes(EditorContents(), &unstorable);
}

bool CMsgView::LockText(const char** text, int32_t* length) {
  if (locks_ == 0) {
    qsizetype unstorable = -1;
    std::string bytes = StoredBytes(EditorContents(), &unstorable);
    if (unstorable >= 0 || bytes.size() > static_cast<std::size_t>(INT32_MAX)) {
      if (unstorable >= 0) {
        QTextCursor cursor(textDocument());
        cursor.setPosition(static_cast<int>(unstorable));
        cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
        setTextCursor(cursor);
        ensureCursorVisible();
      }
      return false;
    }
    locked_ = std::move(bytes);
  }
  ++locks_;
  *text = locked_.data();
  *length = static_cast<int32_t>(locked_.size());
  return true;
}

void CMsgView::UnlockText() {
  if (locks_ > 0 && --locks_ == 0) {
    locked_.clear();
    locked_.shrink_to_fit();
  }
}

std::size_t CMsgView::OffsetOf(int position) const {
  return TextOffset(static_cast<std::size_t>(position),
                    static_cast<std::size_t>(textDocument()->findBlock(position).blockNumber()));
}

void CMsgView::GetSelection(std::size_t* start, std::size_t* end) const {
  const QTextCursor cursor = textCursor();
  *start = OffsetOf(cursor.selectionStart());
  *end = OffsetOf(cursor.selectionEnd());
}

std::size_t CMsgView::CaretOffset() const { return OffsetOf(textCursor().position()); }

void CMsgView::SelectOffsets(std::size_t anchor, std::size_t caret) {
  const std::string bytes = StoredText();
  QTextCursor cursor(textDocument());
  cursor.setPosition(static_cast<int>(EditorPosition(bytes, anchor)));
  cursor.setPosition(static_cast<int>(EditorPosition(bytes, caret)), QTextCursor::KeepAnchor);
  setTextCursor(cursor);
  ensureCursorVisible();
}

void CMsgView::SelectErrorLine(std::size_t offset, bool wholeLine) {
  std::size_t start = 0;
  std::size_t next = 0;
  if (wholeLine && LineAt(StoredText(), offset, &start, &next)) {
    SelectOffsets(next, start);  // the caret at the line's start keeps the line itself in view
    return;
  }
  SelectOffsets(offset, offset);
}

void CMsgView::ShowFindDialog(bool replace) {
  if (findDialog_ != nullptr) findDialog_->close();
  findDialog_ = new FindReplaceDialog(*this, replace);
  findDialog_->show();
  findDialog_->raise();
  findDialog_->activateWindow();
}

void CMsgView::FindAgain() {
  if (LastSearch().what.isEmpty()) {
    ShowFindDialog(false);
  } else if (!FindInEditor(*this, LastSearch())) {
    SignalNotFound(LastSearch().what);
  }
}

}  // namespace pelldesk
