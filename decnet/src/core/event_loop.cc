// The loop arms its timerfd at absolute CLOCK_MONOTONIC times (steady_clock on Linux
// is that clock), so a late wake-up never shifts later deadlines.
#include "core/event_loop.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace decnet {

namespace {
constexpr int kMaxEventsPerRound = 64;

void ReadCounter(int fd) {
  uint64_t value;
  ssize_t n = ::read(fd, &value, sizeof value);
  (void)n;  // nothing to do when it was already drained
}
}  // namespace

EventLoop::EventLoop() {
  epoll_fd_ = ::epoll_create1(EPOLL_CLOEXEC);
  wake_fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  timer_fd_ = ::timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK);
  if (epoll_fd_ < 0 || wake_fd_ < 0 || timer_fd_ < 0) {
    ok_ = false;
    error_ = std::string("cannot create the network loop: ") + std::strerror(errno);
    return;
  }
  wake_tag_.fd = wake_fd_;
  timer_tag_.fd = timer_fd_;
  for (Watch_* tag : {&wake_tag_, &timer_tag_}) {
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.ptr = tag;
    if (::epoll_ctl(epoll_fd_, EPOLL_CTL_ADD, tag->fd, &ev) != 0) {
      ok_ = false;
      error_ = std::string("cannot create the network loop: ") + std::strerror(errno);
    }
  }
}

EventLoop::~EventLoop() {
  for (int fd : {epoll_fd_, wake_fd_, timer_fd_}) {
    if (fd >= 0) ::close(fd);
  }
}

bool EventLoop::Watch(int fd, uint32_t events, FdHandler handler) {
  auto watch = std::make_unique<Watch_>(Watch_{fd, std::move(handler)});
  epoll_event ev{};
  ev.events = events;
  ev.data.ptr = watch.get();
  if (::epoll_ctl(epoll_fd_, EPOLL_CTL_ADD, fd, &ev) != 0) return false;
  watches_[fd] = std::move(watch);
  return true;
}

bool EventLoop::Modify(int fd, uint32_t events) {
  auto it = watches_.find(fd);
  if (it == watches_.end()) return false;
  epoll_event ev{};
  ev.events = events;
  ev.data.ptr = it->second.get();
  return ::epoll_ctl(epoll_fd_, EPOLL_CTL_MOD, fd, &ev) == 0;
}

void EventLoop::Unwatch(int fd) {
  auto it = watches_.find(fd);
  if (it == watches_.end()) return;
  ::epoll_ctl(epoll_fd_, EPOLL_CTL_DEL, fd, nullptr);
  it->second->alive = false;
  unwatched_.push_back(std::move(it->second));
  watches_.erase(it);
}

void EventLoop::SetTimers(DeadlineSource deadline, TickHandler tick) {
  deadline_ = std::move(deadline);
  tick_ = std::move(tick);
}

void EventLoop::Post(std::function<void()> work) {
  bool wake = false;
  {
    std::lock_guard lock(mutex_);
    if (stopped_) return;
    posted_.push_back(std::move(work));
    wake = !wake_pending_;
    wake_pending_ = true;
  }
  if (wake) Wake();
}

bool EventLoop::InLoopThread() const { return loop_thread_.load() == std::this_thread::get_id(); }

void EventLoop::Wake() {
  uint64_t one = 1;
  ssize_t n = ::write(wake_fd_, &one, sizeof one);
  (void)n;  // a full counter still wakes the loop
}

void EventLoop::Stop() {
  stop_ = true;
  {
    std::lock_guard lock(mutex_);
    stopped_ = true;
    posted_.clear();
  }
  Wake();
}

void EventLoop::Run() {
  loop_thread_ = std::this_thread::get_id();
  while (!stop_) Round(std::nullopt);
}

void EventLoop::RunOnce(milliseconds max_wait) {
  loop_thread_ = std::this_thread::get_id();
  Round(max_wait);
}

void EventLoop::RunPosted() {
  {
    std::lock_guard lock(mutex_);
    running_.swap(posted_);
    wake_pending_ = false;
  }
  for (auto& work : running_) {
    if (stop_) break;
    work();
  }
  running_.clear();  // keeps its capacity for the next batch
}

void EventLoop::ArmTimer(std::optional<TimePoint> deadline) {
  if (deadline == armed_) return;
  armed_ = deadline;
  itimerspec timer_value{};
  if (deadline) {
    auto since_epoch = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline->time_since_epoch());
    if (since_epoch.count() <= 0) since_epoch = std::chrono::nanoseconds(1);  // zero would disarm
    timer_value.it_value.tv_sec = static_cast<time_t>(since_epoch.count() / 1000000000);
    timer_value.it_value.tv_nsec = static_cast<long>(since_epoch.count() % 1000000000);
  }
  ::timerfd_settime(timer_fd_, TFD_TIMER_ABSTIME, &timer_value, nullptr);
}

void EventLoop::Round(std::optional<milliseconds> max_wait) {
  RunPosted();
  if (stop_) return;
  int timeout_ms = -1;
  if (deadline_) {
    std::optional<TimePoint> deadline = deadline_();
    TimePoint now = Clock::now();
    if (deadline && *deadline <= now) {
      if (tick_) tick_(now);
      timeout_ms = 0;  // look at the sockets, then come back for the next deadline
    } else {
      ArmTimer(deadline);
    }
  }
  if (max_wait && (timeout_ms < 0 || max_wait->count() < timeout_ms)) timeout_ms = static_cast<int>(max_wait->count());

  for (auto& hook : before_wait_) hook.second();
  std::array<epoll_event, kMaxEventsPerRound> events;
  int n = ::epoll_wait(epoll_fd_, events.data(), kMaxEventsPerRound, timeout_ms);
  for (int i = 0; i < n; ++i) {
    auto* watch = static_cast<Watch_*>(events[static_cast<size_t>(i)].data.ptr);
    if (watch == &wake_tag_ || watch == &timer_tag_) {
      ReadCounter(watch->fd);
      if (watch == &timer_tag_) armed_.reset();  // fired: the next round arms it again
      continue;
    }
    if (watch->alive) watch->handler(events[static_cast<size_t>(i)].events);
  }
  unwatched_.clear();
}

}  // namespace decnet
