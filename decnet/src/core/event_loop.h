// The network thread's loop: epoll over the links' sockets, an eventfd for work posted
// from other threads, a timerfd armed at the earliest deadline the stack reports.
// Everything registered with the loop runs on the thread that calls Run. After every
// batch of events, posted work and tick it asks again for the next deadline, so a
// state machine only has to say when it next wants to run.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/clock.h"
#include "core/executor.h"

namespace decnet {

class EventLoop final : public Executor {
 public:
  using FdHandler = std::function<void(uint32_t events)>;  // epoll event bits
  using DeadlineSource = std::function<std::optional<TimePoint>()>;
  using TickHandler = std::function<void(TimePoint now)>;

  EventLoop();
  ~EventLoop() override;
  EventLoop(const EventLoop&) = delete;
  EventLoop& operator=(const EventLoop&) = delete;

  // False when the kernel refused an epoll, eventfd or timerfd; error() says which.
  bool ok() const { return ok_; }
  const std::string& error() const { return error_; }

  // Loop thread only (or before Run). A watched fd stays owned by the caller, who
  // unwatches it before closing it. Unwatch may be called from inside a handler.
  bool Watch(int fd, uint32_t events, FdHandler handler);
  bool Modify(int fd, uint32_t events);
  void Unwatch(int fd);

  // The stack's timers: `deadline` is asked after every event; `tick` runs once that
  // time has come.
  void SetTimers(DeadlineSource deadline, TickHandler tick);

  // Runs `hook` once per round, after the round's work and before the loop waits:
  // where output gathered during the round is written out in one go.
  // Returns an id for CancelBeforeWait, which its owner calls before it goes away.
  int BeforeWait(std::function<void()> hook) {
    before_wait_.emplace_back(++last_hook_id_, std::move(hook));
    return last_hook_id_;
  }
  void CancelBeforeWait(int id) {
    std::erase_if(before_wait_, [id](const auto& hook) { return hook.first == id; });
  }

  void Post(std::function<void()> work) override;
  bool InLoopThread() const override;

  // Runs until Stop; the calling thread becomes the loop thread.
  void Run();
  // Runs one round: posted work, a due tick, and the events that arrive within
  // `max_wait`. For tests that drive the loop from their own thread.
  void RunOnce(milliseconds max_wait);
  // Any thread: Run returns after the current round. Posted work that has not run
  // by then is dropped, and later posts are dropped too.
  void Stop();

 private:
  struct Watch_ {
    int fd;
    FdHandler handler;
    bool alive = true;
  };

  void Round(std::optional<milliseconds> max_wait);
  void RunPosted();
  void ArmTimer(std::optional<TimePoint> deadline);
  void Wake();

  bool ok_ = true;
  std::string error_;
  int epoll_fd_ = -1, wake_fd_ = -1, timer_fd_ = -1;
  std::unordered_map<int, std::unique_ptr<Watch_>> watches_;
  std::vector<std::unique_ptr<Watch_>> unwatched_;  // freed after the batch that may name them
  Watch_ wake_tag_{-1, nullptr}, timer_tag_{-1, nullptr};  // the loop's own fds in epoll
  DeadlineSource deadline_;
  TickHandler tick_;
  std::optional<TimePoint> armed_;
  std::vector<std::pair<int, std::function<void()>>> before_wait_;
  int last_hook_id_ = 0;

  std::mutex mutex_;
  std::vector<std::function<void()>> posted_;  // guarded by mutex_
  bool wake_pending_ = false;                  // guarded by mutex_
  bool stopped_ = false;                       // guarded by mutex_
  std::vector<std::function<void()>> running_;  // loop thread: the batch being run
  std::atomic<bool> stop_{false};
  std::atomic<std::thread::id> loop_thread_{};
};

}  // namespace decnet
