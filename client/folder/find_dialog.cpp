// The "Find in Folder" dialog.
#include "folder/find_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "folder/dir_search.h"
#include "framework/text.h"

namespace pelldesk {

CFindDialog::CFindDialog(QWidget* owner, const std::string& findWhat, bool matchCase, bool searchDown,
                         int matchIn)
    : QDialog(owner) {
  setWindowTitle("Find in Folder");
  setAttribute(Qt::WA_DeleteOnClose);
  setModal(false);

  auto* label = new QLabel("Fi&nd what:", this);
  text_ = new QLineEdit(fw::ToQt(findWhat), this);
  label->setBuddy(text_);
  matchCase_ = new QCheckBox("Match &Case", this);
  matchCase_->setChecked(matchCase);

  auto* direction = new QGroupBox("Direction", this);
  up_ = new QRadioButton("&Up", direction);
  down_ = new QRadioButton("&Down", direction);
  (searchDown ? down_ : up_)->setChecked(true);
  auto* directionLayout = new QHBoxLayout(direction);
  directionLayout->addWidget(up_);
  directionLayout->addWidget(down_);

  auto* match = new QGroupBox("&Match In", this);
  from_ = new QRadioButton("&From", match);
  subject_ = new QRadioButton("&Subject", match);
  (matchIn == kMatchInFrom ? from_ : subject_)->setChecked(true);
  auto* matchLayout = new QHBoxLayout(match);
  matchLayout->addWidget(from_);
  matchLayout->addWidget(subject_);

  auto* findNext = new QPushButton("&Find Next", this);
  findNext->setDefault(true);
  auto* cancel = new QPushButton("Cancel", this);
  connect(findNext, &QPushButton::clicked, this, [this] { PressFindNext(); });
  connect(cancel, &QPushButton::clicked, this, &QDialog::close);
  // Nothing to find in an empty text.
  findNext->setEnabled(!text_->text().isEmpty());
  connect(text_, &QLineEdit::textChanged, findNext, [findNext](const QString& text) { findNext->setEnabled(!text.isEmpty()); });

  auto* layout = new QGridLayout(this);
  layout->addWidget(label, 0, 0);
  layout->addWidget(text_, 0, 1, 1, 2);
  layout->addWidget(matchCase_, 1, 0);
  layout->addWidget(direction, 1, 1);
  layout->addWidget(match, 1, 2);
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(findNext);
  buttons->addWidget(cancel);
  buttons->addStretch();
  layout->addLayout(buttons, 0, 3, 2, 1);
  text_->selectAll();
}

bool CFindDialog::findWhat(std::string* text) const { return fw::FromQt(text_->text(), text); }
bool CFindDialog::matchCase() const { return matchCase_->isChecked(); }
bool CFindDialog::searchDown() const { return down_->isChecked(); }
int CFindDialog::matchIn() const { return from_->isChecked() ? kMatchInFrom : kMatchInSubject; }

void CFindDialog::PressFindNext() {
  if (onFindNext) onFindNext();
}

}  // namespace pelldesk
