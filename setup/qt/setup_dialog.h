// One setup dialog built from its template and procedure: the text, an edit field for
// edit dialogs, and the buttons, each of which ends the dialog with its event (Help
// shows the help template and ends nothing; closing the window is CANCEL). Buttons
// and the edit field carry object names ("continue", "back", "exit", "help", "edit")
// for tests.
#pragma once

#include <QDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <string>

#include "front_end.h"

namespace setup {

class SetupDialog : public QDialog {
 public:
  SetupDialog(const DialogRequest& request, QWidget* parent);

  DialogAnswer answer() const { return answer_; }

 private:
  void AddButton(const QString& label, const char* name, const char* event, bool is_default);
  void Finish(const char* event);
  void ShowHelp();

  DialogRequest request_;
  QLineEdit* edit_ = nullptr;
  QHBoxLayout* buttons_ = nullptr;
  DialogAnswer answer_{"CANCEL", {}};
};

}  // namespace setup
