// "Find in Folder" (template 146): the modeless find dialog of the folder windows. It
// offers the text, "Match &Case", the direction and "&Match In" From or Subject, and
// hands each "&Find Next" to its owner; closing it deletes it.
#pragma once

#include <QDialog>

#include <functional>
#include <string>

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace pelldesk {

class CFindDialog : public QDialog {
 public:
  // Starts from the find state's values.
  CFindDialog(QWidget* owner, const std::string& findWhat, bool matchCase, bool searchDown, int matchIn);

  // Called on "&Find Next".
  std::function<void()> onFindNext;

  // The dialog's choices. False from findWhat when the text holds a character the
  // folder's 8-bit text cannot hold (nothing can match it).
  bool findWhat(std::string* text) const;
  bool matchCase() const;
  bool searchDown() const;
  int matchIn() const;  // kMatchInFrom or kMatchInSubject

  // For tests: the controls.
  QLineEdit* textBox() const { return text_; }
  QCheckBox* matchCaseBox() const { return matchCase_; }
  QRadioButton* upButton() const { return up_; }
  QRadioButton* fromButton() const { return from_; }
  QRadioButton* subjectButton() const { return subject_; }
  void PressFindNext();

 private:
  QLineEdit* text_;
  QCheckBox* matchCase_;
  QRadioButton* up_;
  QRadioButton* down_;
  QRadioButton* from_;
  QRadioButton* subject_;
};

}  // namespace pelldesk
