// Message boxes: the replaceable entry point and the Qt box behind it.
#include "framework/message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

#include <mutex>

#include "framework/application.h"
#include "framework/gui_dispatcher.h"
#include "framework/text.h"

namespace fw {
namespace {

std::mutex replacement_mutex;
MessageBoxFunction replacement;

struct ButtonSet {
  QMessageBox::StandardButtons buttons;
  QMessageBox::StandardButton first;
};

ButtonSet ButtonsOf(unsigned style) {
  switch (style & MB_TYPEMASK) {
    case MB_OKCANCEL: return {QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok};
    case MB_ABORTRETRYIGNORE:
      return {QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore, QMessageBox::Abort};
    case MB_YESNOCANCEL:
      return {QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes};
    case MB_YESNO: return {QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes};
    case MB_RETRYCANCEL: return {QMessageBox::Retry | QMessageBox::Cancel, QMessageBox::Retry};
    default: return {QMessageBox::Ok, QMessageBox::Ok};
  }
}

QMessageBox::Icon IconOf(unsigned style) {
  switch (style & MB_ICONMASK) {
    case MB_ICONSTOP: return QMessageBox::Critical;
    case MB_ICONQUESTION: return QMessageBox::Question;
    case MB_ICONEXCLAMATION: return QMessageBox::Warning;
    case MB_ICONINFORMATION: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
  }
}

int AnswerOf(QMessageBox::StandardButton button) {
  switch (button) {
    case QMessageBox::Ok: return IDOK;
    case QMessageBox::Cancel: return IDCANCEL;
    case QMessageBox::Abort: return IDABORT;
    case QMessageBox::Retry: return IDRETRY;
    case QMessageBox::Ignore: return IDIGNORE;
    case QMessageBox::Yes: return IDYES;
    case QMessageBox::No: return IDNO;
    default: return IDCANCEL;
  }
}

}  // namespace

int QtMessageBox(const std::string& text, unsigned style) {
  Application* app = Application::Instance();
  QWidget* owner = app != nullptr ? app->mainWindow() : nullptr;
  if (owner != nullptr && !owner->isVisible()) owner = nullptr;
  QString caption = app != nullptr ? ToQt(app->appName()) : QCoreApplication::applicationName();
  ButtonSet set = ButtonsOf(style);
  QMessageBox box(IconOf(style), caption, ToQt(text), set.buttons, owner);
  box.setDefaultButton(set.first);
  box.exec();
  return AnswerOf(box.standardButton(box.clickedButton()));
}

int ShowMessageBox(const std::string& text, unsigned style) {
  int answer = 0;
  bool ran = GuiDispatcher::Instance().Call([&] {
    MessageBoxFunction fn;
    {
      std::lock_guard<std::mutex> lock(replacement_mutex);
      fn = replacement;
    }
    answer = fn ? fn(text, style) : QtMessageBox(text, style);
  });
  return ran ? answer : 0;
}

MessageBoxFunction SetMessageBoxFunction(MessageBoxFunction fn) {
  std::lock_guard<std::mutex> lock(replacement_mutex);
  MessageBoxFunction previous = std::move(replacement);
  replacement = std::move(fn);
  return previous;
}

}  // namespace fw
