// The client started and ended for a benchmark.
#include "desk_session.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QWidget>
#include <QWindow>

#include <cstdio>

#include "framework/mdi_frame.h"
#include "framework/message_box.h"

namespace bench {

bool ProcessEventsUntil(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::usleep(500);
  }
  return true;
}

DeskSession::DeskSession() {
  fw::SetMessageBoxFunction([](const std::string& text, unsigned) {
    std::fprintf(stderr, "box: %s\n", text.c_str());
    return fw::IDOK;
  });
}

DeskSession::~DeskSession() {
  if (!started_) return;
  if (fw::MdiFrame* frame = app_.mainFrame()) {
    frame->close();
    if (app_.mainFrame() != nullptr) app_.DestroyMainFrame();  // a close that was refused
  }
  app_.ExitInstance();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

bool DeskSession::Start() {
  started_ = true;
  if (!app_.InitInstance()) {
    std::fprintf(stderr, "the client did not start\n");
    return false;
  }
  const auto onScreen = [this] {
    const QWidget* main = app_.mainWindow();
    return main != nullptr && main->windowHandle() != nullptr && main->windowHandle()->isExposed();
  };
  if (!ProcessEventsUntil(onScreen, 10000)) {
    std::fprintf(stderr, "the main window did not reach the screen\n");
    return false;
  }
  // A person clicks on the splash, or waits for it to go, before opening anything.
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (window->windowType() == Qt::SplashScreen) window->close();
  }
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  ProcessEventsUntil([] { return false; }, 200);  // what the start left to paint
  return true;
}

}  // namespace bench
