// The profile pages' text fields.
#include "settings/labelled_edit.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include "settings/exchange_page.h"

namespace pelldesk {

QLineEdit* RecordEdit(const char* id, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(id));
  edit->setMaxLength(kRecordTextMax);
  return edit;
}

QLabel* AddLabelledEdit(QGridLayout* grid, int row, const char* label, QLineEdit* edit) {
  auto* text = new QLabel(QString::fromLatin1(label), edit->parentWidget());
  text->setBuddy(edit);
  grid->addWidget(text, row, 0);
  grid->addWidget(edit, row, 1);
  return text;
}

}  // namespace pelldesk
