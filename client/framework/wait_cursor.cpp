// The wait cursor over Qt's override cursor. Only the outermost instance sets and
// restores it: each change of the override cursor costs requests to the display server
// for every window, and an operation that runs others inside it (a folder load asking
// for every entry whether a window has it open) would pay that once per step.
#include "framework/wait_cursor.h"

#include <QApplication>
#include <QThread>

namespace fw {
namespace {
int depth = 0;  // live instances on the user-interface thread
}  // namespace

WaitCursor::WaitCursor() {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr &&
      QThread::currentThread() == QCoreApplication::instance()->thread()) {
    if (depth++ == 0) QApplication::setOverrideCursor(Qt::WaitCursor);
    shown_ = true;
  }
}

WaitCursor::~WaitCursor() { Restore(); }

void WaitCursor::Restore() {
  if (!shown_) return;
  shown_ = false;
  if (--depth == 0) QApplication::restoreOverrideCursor();
}

int WaitCursor::Depth() { return depth; }

}  // namespace fw
