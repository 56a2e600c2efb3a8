// CNoticeWnd: a short notice over the main window ("Pellam message posted."), a
// borderless pop-up with the new-mail icon and one line of text that goes away by
// itself after its time. It never takes the focus from the window the user works in.
#pragma once

#include <QBasicTimer>
#include <QFrame>

#include <string>

class QLabel;

namespace pelldesk {

class CNoticeWnd : public QFrame {
 public:
  // Shows `text` for `ms` milliseconds; null when no notice could be shown. The
  // notice deletes itself.
  static CNoticeWnd* Show(const std::string& text, int ms);

  QString text() const;

 protected:
  void timerEvent(QTimerEvent* event) override;

 private:
  explicit CNoticeWnd(QWidget* owner);

  QLabel* text_;
  QBasicTimer timer_;
};

}  // namespace pelldesk
