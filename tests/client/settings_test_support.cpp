// The settings tests' helpers.
#include "settings_test_support.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include <cstring>

#include "app/mail_app.h"

namespace pelldesk::test {

std::string StatusText(uint32_t status) {
  char buffer[512];
  std::string text = GetErrorText(status, buffer, sizeof buffer, nullptr);
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
  return text;
}

bool RunSettingsSheet(CMailApp& app, const std::function<void(fw::PropertySheet&)>& act,
                      bool confirm) {
  bool accepted = false;
  QTimer::singleShot(0, [&] {
    fw::PropertySheet* sheet = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* s = dynamic_cast<fw::PropertySheet*>(w); s != nullptr && s->isVisible()) sheet = s;
    }
    if (sheet == nullptr) return;
    act(*sheet);
    if (!confirm) {
      sheet->buttons()->button(QDialogButtonBox::Cancel)->click();
      return;
    }
    sheet->buttons()->button(QDialogButtonBox::Ok)->click();
    accepted = !sheet->isVisible();
    if (!accepted) sheet->reject();
  });
  app.ShowSettingsSheet();
  return accepted;
}

void ShowPage(fw::PropertySheet& sheet, int index) {
  sheet.findChild<QTabWidget*>()->setCurrentIndex(index);
}

int ActiveIndex(fw::PropertySheet& sheet) { return sheet.findChild<QTabWidget*>()->currentIndex(); }

void Type(QWidget* widget, const std::string& text) {
  for (char c : text) {
    int key = static_cast<unsigned char>(c);
    QString typed(QChar(static_cast<unsigned char>(c)));
    if (c == '\n') {
      key = Qt::Key_Return;
      typed = QStringLiteral("\r");
    } else if (c == '\b') {
      key = Qt::Key_Backspace;
      typed.clear();
    }
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, typed);
    QCoreApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, typed);
    QCoreApplication::sendEvent(widget, &release);
  }
}

void ClearField(QWidget* widget) {
  QKeyEvent all(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier);
  QCoreApplication::sendEvent(widget, &all);
  QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
  QCoreApplication::sendEvent(widget, &del);
}

void StoreSystemProfile(const char* queue, const char* temp, const char* gateway,
                        const char* errorFile) {
  MailSystemProfile profile{};
  std::strcpy(profile.MailQueuePath, queue);
  std::strcpy(profile.MailTempPath, temp);
  std::strcpy(profile.ExternalGateway, gateway);
  std::strcpy(profile.ErrorFile, errorFile);
  ASSERT_EQ(UpdateMailSystemProfile(&profile, sizeof profile), 0u);
}

std::string Text(const QString& text) { return text.toStdString(); }

}  // namespace pelldesk::test
