// The splash window.
#include "mainframe/splash_wnd.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include "app/resource_ids.h"

namespace pelldesk {

CSplashWnd::CSplashWnd(QWidget* owner, QPixmap picture)
    : QWidget(owner, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      picture_(std::move(picture)) {
  setAttribute(Qt::WA_DeleteOnClose);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFixedSize(picture_.size());
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, &QWidget::close);
}

CSplashWnd* CSplashWnd::ShowSplash(QWidget* owner, int milliseconds) {
  QPixmap picture(QString(":/bitmaps/%1.png").arg(kSplashBitmap));
  if (picture.isNull()) return nullptr;
  auto* splash = new CSplashWnd(owner, std::move(picture));
  const QWidget* over = owner != nullptr && owner->isVisible() ? owner : nullptr;
  QRect area = over != nullptr ? over->frameGeometry()
               : QGuiApplication::primaryScreen() != nullptr
                   ? QGuiApplication::primaryScreen()->availableGeometry()
                   : QRect(QPoint(0, 0), splash->size());
  splash->move(area.center() - splash->rect().center());
  splash->show();
  splash->repaint();
  splash->timer_.start(milliseconds);
  return splash;
}

void CSplashWnd::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawPixmap(0, 0, picture_);
}

void CSplashWnd::mousePressEvent(QMouseEvent*) { close(); }

}  // namespace pelldesk
