// The application object of the X11 benchmarks' Qt: a QApplication that notes the
// moment a chosen widget has been painted and its picture has reached the X server
// (the end of the window update that painted it, then a round trip to the server), and
// how many write calls the process had made by then. Use on the user-interface thread.
#pragma once

#include <QApplication>

#include <atomic>
#include <chrono>
#include <functional>

class QEventLoop;

namespace bench {

// The write system calls this process has made so far (/proc/self/io); -1 if unknown.
long long WriteCalls();

class ShownClock : public QApplication {
 public:
  using Clock = std::chrono::steady_clock;

  ShownClock(int& argc, char** argv);

  // From now on, watches for a Paint of a widget for which `wanted` holds.
  void Expect(std::function<bool(QWidget*)> wanted);
  // Runs the event loop until the expected widget has been shown or `timeoutMs` pass.
  bool WaitUntilShown(int timeoutMs);
  Clock::time_point shownAt() const { return shownAt_; }
  long long writeCallsWhenShown() const { return writeCallsWhenShown_; }

  // Waits until the X server has handled every request sent so far.
  void SyncWithServer();

 protected:
  bool notify(QObject* receiver, QEvent* event) override;

 private:
  void NoteShown();

  std::atomic<bool> expecting_{false};
  std::function<bool(QWidget*)> wanted_;
  bool painted_ = false;
  bool shown_ = false;
  Clock::time_point shownAt_;
  long long writeCallsWhenShown_ = -1;
  QEventLoop* loop_ = nullptr;
};

}  // namespace bench
