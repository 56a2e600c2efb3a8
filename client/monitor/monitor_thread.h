// The monitor's thread: started with a body, stopped by the caller's stop signal and a
// bounded wait. A thread that does not end in time is cancelled and left behind with the
// exit code 995 (operation aborted), so that the end of the run is never held up.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace pelldesk {

class MonitorThread {
 public:
  MonitorThread() = default;
  ~MonitorThread();
  MonitorThread(const MonitorThread&) = delete;
  MonitorThread& operator=(const MonitorThread&) = delete;

  // Starts `body` on a new thread: 0, or the status code when no thread can be made.
  uint32_t Start(std::function<uint32_t()> body);
  bool IsRunning() const { return thread_.joinable(); }

  // Waits up to `timeout_ms` for the body to return; then cancels the thread. Returns
  // the body's result, or 995 when it had to be cancelled.
  uint32_t Join(unsigned timeout_ms);

 private:
  struct State {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    uint32_t result = 0;
  };
  std::shared_ptr<State> state_;
  std::thread thread_;
};

}  // namespace pelldesk
