// The dialog's layout and buttons. Text crosses into the toolkit as ISO-8859-1; an
// edit that holds a character outside it is refused with a message, never changed.
#include "setup_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace setup {
namespace {

// An edit field that keeps "EditFocus" whenever it takes the focus: "ALL" selects
// the text, anything else ("END") puts the cursor after it and selects nothing, where
// a plain field would select everything on some ways of taking the focus.
class EditField : public QLineEdit {
 public:
  EditField(const QString& text, bool select_all, QWidget* parent)
      : QLineEdit(text, parent), select_all_(select_all) {
    Place();
  }

 protected:
  void focusInEvent(QFocusEvent* event) override {
    QLineEdit::focusInEvent(event);
    Place();
  }

 private:
  void Place() {
    if (select_all_) {
      selectAll();
    } else {
      deselect();
      setCursorPosition(static_cast<int>(text().size()));
    }
  }

  bool select_all_;
};

bool FitsLatin1(const QString& text) {
  for (QChar c : text) {
    if (c.unicode() > 0xFF) return false;
  }
  return true;
}

}  // namespace

SetupDialog::SetupDialog(const DialogRequest& request, QWidget* parent) : QDialog(parent), request_(request) {
  const DialogTemplate& t = *request.dialog;
  setWindowTitle(QString::fromLatin1(t.title));
  setObjectName(QString("dialog%1").arg(t.id));
  auto* layout = new QVBoxLayout(this);
  auto* text = new QLabel(QString::fromLatin1(request.text.empty() ? t.text : request.text.c_str()), this);
  text->setWordWrap(true);
  text->setMinimumWidth(420);
  layout->addWidget(text);
  if (request.proc == DialogProc::kEdit) {
    edit_ = new EditField(QString::fromLatin1(request.edit_in.c_str()), request.edit_focus == "ALL", this);
    edit_->setObjectName("edit");
    edit_->setMaxLength(254);
    layout->addWidget(edit_);
    edit_->setFocus();
  }
  if (request.proc == DialogProc::kModeless) {
    setModal(false);
    return;
  }
  layout->addSpacing(8);
  buttons_ = new QHBoxLayout();
  buttons_->addStretch();
  layout->addLayout(buttons_);
  if (request.proc == DialogProc::kInfo0 || request.proc == DialogProc::kHelp) {
    AddButton("OK", "continue", "CONTINUE", true);
  } else {
    if (t.buttons & kButtonBack) AddButton("< Back", "back", "BACK", false);
    if (t.buttons & kButtonContinue) AddButton("Continue", "continue", "CONTINUE", true);
    if (t.buttons & kButtonExit) {
      AddButton(request.proc == DialogProc::kQuit ? "Exit Setup" : "Exit", "exit", "EXIT", false);
    }
    if (request.help != nullptr) {
      auto* help = new QPushButton("Help", this);
      help->setObjectName("help");
      help->setAutoDefault(false);
      connect(help, &QPushButton::clicked, this, [this] { ShowHelp(); });
      buttons_->addWidget(help);
    }
  }
  setModal(true);
}

void SetupDialog::AddButton(const QString& label, const char* name, const char* event, bool is_default) {
  auto* button = new QPushButton(label, this);
  button->setObjectName(name);
  button->setDefault(is_default);
  button->setAutoDefault(is_default);
  const std::string chosen = event;
  connect(button, &QPushButton::clicked, this, [this, chosen] { Finish(chosen.c_str()); });
  buttons_->addWidget(button);
}

void SetupDialog::Finish(const char* event) {
  if (edit_ != nullptr) {
    if (!FitsLatin1(edit_->text())) {
      QMessageBox::warning(this, windowTitle(),
                           "The directory name holds a character that Pellam cannot store. "
                           "Use letters of Western European languages only.");
      return;
    }
    answer_.edit_out = edit_->text().toLatin1().toStdString();
  }
  answer_.event = event;
  accept();
}

void SetupDialog::ShowHelp() {
  DialogRequest help;
  help.dialog = request_.help;
  help.proc = DialogProc::kHelp;
  SetupDialog dialog(help, this);
  dialog.exec();
}

}  // namespace setup
