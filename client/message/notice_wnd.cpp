// The notice window.
#include "message/notice_wnd.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QTimerEvent>

#include "app/resource_ids.h"
#include "framework/application.h"
#include "framework/text.h"

namespace pelldesk {

CNoticeWnd::CNoticeWnd(QWidget* owner)
    : QFrame(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus) {
  setObjectName("CNoticeWnd");
  setAttribute(Qt::WA_DeleteOnClose);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFrameStyle(QFrame::Box | QFrame::Plain);
  setLineWidth(1);

  auto* icon = new QLabel(this);
  icon->setPixmap(QPixmap(QString(":/icons/%1.png").arg(kNewMailIcon)));
  text_ = new QLabel(this);
  text_->setAlignment(Qt::AlignCenter);
  text_->setMinimumWidth(text_->fontMetrics().averageCharWidth() * 30);  // 30 characters wide
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(icon);
  layout->addWidget(text_, 1);
}

CNoticeWnd* CNoticeWnd::Show(const std::string& text, int ms) {
  // Over the main window when there is one; on its own otherwise.
  const fw::Application* app = fw::Application::Instance();
  QWidget* owner = app != nullptr ? app->mainWindow() : nullptr;
  auto* notice = new CNoticeWnd(owner);
  notice->text_->setText(fw::ToQt(text));
  notice->adjustSize();
  if (owner != nullptr) {
    const QPoint centre = owner->mapToGlobal(owner->rect().center());
    notice->move(centre - notice->rect().center());
  }
  notice->show();
  notice->repaint();
  notice->timer_.start(ms, notice);
  if (!notice->timer_.isActive()) {
    delete notice;  // without its timer it would never go away
    return nullptr;
  }
  return notice;
}

QString CNoticeWnd::text() const { return text_->text(); }

void CNoticeWnd::timerEvent(QTimerEvent* event) {
  if (event->timerId() != timer_.timerId()) {
    QFrame::timerEvent(event);
    return;
  }
  timer_.stop();
  close();  // deletes it
}

}  // namespace pelldesk
