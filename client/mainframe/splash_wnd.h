// CSplashWnd: the start-up picture (bitmap 135) in a borderless window on top of the
// others, centred, shown without taking the focus and gone after its time (or at a
// click on it). It never holds up the main window: nothing waits for it.
#pragma once

#include <QPixmap>
#include <QTimer>
#include <QWidget>

namespace pelldesk {

class CSplashWnd : public QWidget {
  Q_OBJECT

 public:
  // Shows the splash for `milliseconds`; null, with nothing shown, when the picture
  // cannot be loaded. The window deletes itself when it closes.
  static CSplashWnd* ShowSplash(QWidget* owner, int milliseconds);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  CSplashWnd(QWidget* owner, QPixmap picture);
  QPixmap picture_;
  QTimer timer_;  // the window's timer 139
};

}  // namespace pelldesk
