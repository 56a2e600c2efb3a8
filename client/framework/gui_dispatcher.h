// Runs functions on the user-interface thread for other threads: the caller waits until
// its function has run there, as a window message sent from another thread does. Once
// closed (the end of the run), calls fail at once instead of waiting, so a thread that
// reports to windows which are going away never blocks the end of the program.
#pragma once

#include <QObject>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace fw {

class GuiDispatcher : public QObject {
 public:
  // The one dispatcher, living on the thread of the application object.
  static GuiDispatcher& Instance();

  // Runs `fn` on the user-interface thread (at once when called there) and returns
  // true after it ran; false without running it when the dispatcher is closed.
  bool Call(const std::function<void()>& fn);

  // Refuses further calls and releases every caller still waiting.
  void Close();
  // Accepts calls again (a new run of the application in the same process).
  void Open();

  // How many calls from other threads wait for the user-interface thread now.
  std::size_t Waiting();

 protected:
  bool event(QEvent* event) override;

 private:
  GuiDispatcher() = default;
  struct Pending {
    std::function<void()> fn;
    bool done = false;
    bool abandoned = false;
  };
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::shared_ptr<Pending>> queue_;
  bool closed_ = false;
};

}  // namespace fw
