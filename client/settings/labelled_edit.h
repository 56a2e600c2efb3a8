// The profile pages' text fields: a label whose mnemonic reaches its edit, and edits
// that take no more than a record field holds, so what the user sees is what is stored.
#pragma once

class QGridLayout;
class QLabel;
class QLineEdit;
class QWidget;

namespace pelldesk {

// An edit named by its control id, limited to a record field's text.
QLineEdit* RecordEdit(const char* id, QWidget* parent);

// `label` in column 0 and `edit` in column 1 of `row`; returns the label.
QLabel* AddLabelledEdit(QGridLayout* grid, int row, const char* label, QLineEdit* edit);

}  // namespace pelldesk
