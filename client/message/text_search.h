// Find, Find Next and Replace in a message window's editor, and the modeless dialog
// that asks for them. What was last looked for is one state for all message windows
// of the run, so that Find Next in any window repeats it.
#pragma once

#include <QDialog>
#include <QString>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;

namespace pelldesk {

struct SearchState {
  QString what;
  QString with;
  bool matchCase = false;
  bool down = true;
};

SearchState& LastSearch();

// Looks for `search.what` after the selection (before it going up), once around the
// whole text, and selects the match. False when the text holds none.
bool FindInEditor(QPlainTextEdit& editor, const SearchState& search);

// Replaces the selection with `search.with` when it is a match, then finds the next
// one. False when no further match is left.
bool ReplaceInEditor(QPlainTextEdit& editor, const SearchState& search);

// Replaces every match from the start of the text, as one step to undo; the count.
int ReplaceAllInEditor(QPlainTextEdit& editor, const SearchState& search);

// The Find (or Replace) dialog on one editor. Its buttons act at once; a search that
// finds nothing beeps.
class FindReplaceDialog : public QDialog {
 public:
  FindReplaceDialog(QPlainTextEdit& editor, bool replace);

  QLineEdit* whatEdit() const { return what_; }
  QLineEdit* withEdit() const { return with_; }
  QCheckBox* matchCaseBox() const { return matchCase_; }

  // The buttons' work, public so that tests need no clicks.
  void OnFindNext();
  void OnReplace();
  void OnReplaceAll();

 private:
  void StoreState();

  QPlainTextEdit& editor_;
  QLineEdit* what_;
  QLineEdit* with_ = nullptr;
  QCheckBox* matchCase_;
  QRadioButton* down_ = nullptr;
};

}  // namespace pelldesk
