// Data exchange of the settings pages.
#include "settings/exchange_page.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "app/mail_app.h"
#include "framework/text.h"

namespace pelldesk {
namespace {

bool ReadFailed(QWidget* field) {
  CMailApp::Get().ReportErrorNoArg("This field holds a character that cannot be stored.", 0, 0);
  field->setFocus();
  return false;
}

}  // namespace

bool ExchangeText(bool save, QLineEdit* edit, std::string* member) {
  if (!save) {
    edit->setText(fw::ToQt(*member));
    return true;
  }
  return fw::FromQt(edit->text(), member) || ReadFailed(edit);
}

bool ExchangeText(bool save, QPlainTextEdit* edit, std::string* member) {
  if (!save) {
    edit->setPlainText(fw::ToQt(*member));  // CR LF becomes one line break
    edit->document()->setModified(false);
    return true;
  }
  std::string lines;
  if (!fw::FromQt(edit->toPlainText(), &lines)) return ReadFailed(edit);
  member->clear();
  for (char c : lines) {
    if (c == '\n') member->push_back('\r');
    member->push_back(c);
  }
  return true;
}

void ExchangeCheck(bool save, QAbstractButton* box, int* member) {
  if (save) {
    // A stored switch of another nonzero value is not rewritten by a mere visit.
    if (!box->isChecked()) {
      *member = 0;
    } else if (*member == 0) {
      *member = 1;
    }
  } else {
    box->setChecked(*member != 0);
  }
}

void ExchangeCheck(bool save, QAbstractButton* box, bool* member) {
  if (save) {
    *member = box->isChecked();
  } else {
    box->setChecked(*member);
  }
}

void ExchangeRadio(bool save, QButtonGroup* group, int* member) {
  if (save) {
    if (group->checkedId() != -1) *member = group->checkedId();
    return;
  }
  QAbstractButton* button = group->button(*member);
  if (button != nullptr) {
    button->setChecked(true);
    return;
  }
  // An exclusive group cannot uncheck its last button; for a moment it is not one.
  group->setExclusive(false);
  for (QAbstractButton* b : group->buttons()) b->setChecked(false);
  group->setExclusive(true);
}

}  // namespace pelldesk
