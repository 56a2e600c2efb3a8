// Searching and replacing in the editor.
#include "message/text_search.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextDocument>

#include "app/not_found.h"

namespace pelldesk {
namespace {

QTextDocument::FindFlags Flags(const SearchState& search) {
  QTextDocument::FindFlags flags;
  if (search.matchCase) flags |= QTextDocument::FindCaseSensitively;
  if (!search.down) flags |= QTextDocument::FindBackward;
  return flags;
}

bool SelectionMatches(const QPlainTextEdit& editor, const SearchState& search) {
  const QString selected = editor.textCursor().selectedText();
  return !selected.isEmpty() &&
         selected.compare(search.what, search.matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive) == 0;
}

}  // namespace

SearchState& LastSearch() {
  static SearchState state;
  return state;
}

bool FindInEditor(QPlainTextEdit& editor, const SearchState& search) {
  if (search.what.isEmpty()) return false;
  QTextDocument* text = editor.document();
  QTextCursor found = text->find(search.what, editor.textCursor(), Flags(search));
  if (found.isNull()) {
    // Once around: from the other end of the text.
    QTextCursor from(text);
    from.movePosition(search.down ? QTextCursor::Start : QTextCursor::End);
    found = text->find(search.what, from, Flags(search));
  }
  if (found.isNull()) return false;
  editor.setTextCursor(found);
  editor.ensureCursorVisible();
  return true;
}

bool ReplaceInEditor(QPlainTextEdit& editor, const SearchState& search) {
  if (editor.isReadOnly()) return false;
  if (SelectionMatches(editor, search)) {
    QTextCursor cursor = editor.textCursor();
    cursor.insertText(search.with);
    editor.setTextCursor(cursor);
  }
  SearchState forward = search;
  forward.down = true;
  return FindInEditor(editor, forward);
}

int ReplaceAllInEditor(QPlainTextEdit& editor, const SearchState& search) {
  if (editor.isReadOnly() || search.what.isEmpty()) return 0;
  QTextDocument* text = editor.document();
  QTextDocument::FindFlags flags = Flags(search) & ~QTextDocument::FindBackward;
  QTextCursor edit(text);
  edit.beginEditBlock();
  int count = 0;
  // Each search starts after the text just put in, so a replacement that holds what
  // is looked for is not replaced again.
  for (QTextCursor found = text->find(search.what, 0, flags); !found.isNull();
       found = text->find(search.what, found, flags)) {
    found.insertText(search.with);
    ++count;
  }
  edit.endEditBlock();
  return count;
}

FindReplaceDialog::FindReplaceDialog(QPlainTextEdit& editor, bool replace)
    : QDialog(&editor, Qt::Dialog), editor_(editor) {
  setWindowTitle(replace ? "Replace" : "Find");
  setAttribute(Qt::WA_DeleteOnClose);
  SearchState& last = LastSearch();
  const QString selected = editor.textCursor().selectedText();
  // A selection within one line is what the user most likely looks for.
  const bool oneLine = !selected.isEmpty() && !selected.contains(QChar::ParagraphSeparator);

  auto* grid = new QGridLayout;
  what_ = new QLineEdit(oneLine ? selected : last.what, this);
  auto* whatLabel = new QLabel("Fi&nd what:", this);
  whatLabel->setBuddy(what_);
  grid->addWidget(whatLabel, 0, 0);
  grid->addWidget(what_, 0, 1);
  if (replace) {
    with_ = new QLineEdit(last.with, this);
    auto* withLabel = new QLabel("Re&place with:", this);
    withLabel->setBuddy(with_);
    grid->addWidget(withLabel, 1, 0);
    grid->addWidget(with_, 1, 1);
  }
  matchCase_ = new QCheckBox("Match &case", this);
  matchCase_->setChecked(last.matchCase);
  grid->addWidget(matchCase_, 2, 0, 1, 2);
  if (!replace) {
    auto* direction = new QGroupBox("Direction", this);
    auto* up = new QRadioButton("&Up", direction);
    down_ = new QRadioButton("&Down", direction);
    (last.down ? down_ : up)->setChecked(true);
    auto* row = new QHBoxLayout(direction);
    row->addWidget(up);
    row->addWidget(down_);
    grid->addWidget(direction, 3, 0, 1, 2);
  }

  auto* buttons = new QDialogButtonBox(Qt::Vertical, this);
  QPushButton* findNext = buttons->addButton("&Find Next", QDialogButtonBox::ActionRole);
  findNext->setDefault(true);
  connect(findNext, &QPushButton::clicked, this, [this] { OnFindNext(); });
  if (replace) {
    connect(buttons->addButton("&Replace", QDialogButtonBox::ActionRole), &QPushButton::clicked, this,
            [this] { OnReplace(); });
    connect(buttons->addButton("Replace &All", QDialogButtonBox::ActionRole), &QPushButton::clicked, this,
            [this] { OnReplaceAll(); });
  }
  connect(buttons->addButton(QDialogButtonBox::Cancel), &QPushButton::clicked, this, &QDialog::close);

  auto* layout = new QHBoxLayout(this);
  layout->addLayout(grid, 1);
  layout->addWidget(buttons);
  what_->selectAll();
}

void FindReplaceDialog::StoreState() {
  SearchState& last = LastSearch();
  last.what = what_->text();
  if (with_ != nullptr) last.with = with_->text();
  last.matchCase = matchCase_->isChecked();
  last.down = down_ == nullptr || down_->isChecked();
}

void FindReplaceDialog::OnFindNext() {
  StoreState();
  if (!FindInEditor(editor_, LastSearch())) SignalNotFound(LastSearch().what);
}

void FindReplaceDialog::OnReplace() {
  StoreState();
  if (!ReplaceInEditor(editor_, LastSearch())) SignalNotFound(LastSearch().what);
}

void FindReplaceDialog::OnReplaceAll() {
  StoreState();
  if (ReplaceAllInEditor(editor_, LastSearch()) == 0) SignalNotFound(LastSearch().what);
}

}  // namespace pelldesk
