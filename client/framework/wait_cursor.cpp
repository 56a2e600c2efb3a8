// The wait cursor over Qt's override cursor stack.
#include "framework/wait_cursor.h"

#include <QApplication>
#include <QThread>

namespace fw {

WaitCursor::WaitCursor() {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr &&
      QThread::currentThread() == QCoreApplication::instance()->thread()) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    shown_ = true;
  }
}

WaitCursor::~WaitCursor() { Restore(); }

void WaitCursor::Restore() {
  if (!shown_) return;
  QApplication::restoreOverrideCursor();
  shown_ = false;
}

}  // namespace fw
