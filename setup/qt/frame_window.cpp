// Painting the frame: the title in large italic type at the top left, with a shadow,
// as installers of the original platform showed it.
#include "frame_window.h"

#include <QFont>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>

namespace setup {

FrameWindow::FrameWindow() {
  if (QScreen* screen = QGuiApplication::primaryScreen()) setGeometry(screen->availableGeometry());
}

bool FrameWindow::SetBackground(int bitmap) {
  if (bitmap != 1) return false;
  background_ = true;
  update();
  return true;
}

void FrameWindow::SetTitle(const QString& title) {
  title_ = title;
  setWindowTitle(title);
  update();
}

void FrameWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (background_) {
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0, QColor(0, 0, 160));
    gradient.setColorAt(1, QColor(0, 0, 0));
    painter.fillRect(rect(), gradient);
  } else {
    painter.fillRect(rect(), palette().window());
  }
  QFont font = painter.font();
  font.setPointSize(32);
  font.setBold(true);
  font.setItalic(true);
  painter.setFont(font);
  painter.setPen(QColor(0, 0, 0));
  painter.drawText(QPoint(28, 68), title_);
  painter.setPen(QColor(255, 255, 255));
  painter.drawText(QPoint(24, 64), title_);
}

}  // namespace setup
