// When a widget's paint has reached the X server.
#include "shown_clock.h"

#include <xcb/xcb.h>

#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTimer>
#include <QWidget>

#include <cstdlib>
#include <fstream>
#include <string>

namespace bench {

long long WriteCalls() {
  std::ifstream io("/proc/self/io");
  std::string name;
  long long value = 0;
  while (io >> name >> value) {
    if (name == "syscw:") return value;
  }
  return -1;
}

ShownClock::ShownClock(int& argc, char** argv) : QApplication(argc, argv) {}

void ShownClock::Expect(std::function<bool(QWidget*)> wanted) {
  wanted_ = std::move(wanted);
  painted_ = false;
  shown_ = false;
  expecting_ = true;
}

bool ShownClock::WaitUntilShown(int timeoutMs) {
  if (!shown_) {
    QEventLoop loop;
    loop_ = &loop;
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    loop_ = nullptr;
  }
  expecting_ = false;
  return shown_;
}

void ShownClock::SyncWithServer() {
  auto* x11 = nativeInterface<QNativeInterface::QX11Application>();
  xcb_connection_t* connection = x11 != nullptr ? x11->connection() : nullptr;
  if (connection == nullptr) return;
  // Any request with a reply makes the round trip; the server answers in order.
  std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

bool ShownClock::notify(QObject* receiver, QEvent* event) {
  const bool handled = QApplication::notify(receiver, event);
  // Other threads' events pass here too; paints and window updates happen only on the
  // user-interface thread, which is the only one that sets expecting_.
  if (!expecting_.load(std::memory_order_relaxed)) return handled;
  switch (event->type()) {
    case QEvent::Paint:
      if (receiver->isWidgetType() && wanted_(static_cast<QWidget*>(receiver))) painted_ = true;
      break;
    case QEvent::UpdateRequest:  // the window's update: painted into the backing store, then flushed
    case QEvent::Expose:
      if (painted_) NoteShown();
      break;
    default:
      break;
  }
  return handled;
}

void ShownClock::NoteShown() {
  SyncWithServer();
  shownAt_ = Clock::now();
  writeCallsWhenShown_ = WriteCalls();
  shown_ = true;
  expecting_ = false;
  if (loop_ != nullptr) loop_->quit();
}

}  // namespace bench
