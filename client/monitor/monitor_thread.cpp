// Starting, joining and, when it has to be, cancelling the monitor thread.
#include "monitor/monitor_thread.h"

#include <pthread.h>

#include <chrono>
#include <system_error>

#include "platform/errors.h"

namespace pelldesk {

MonitorThread::~MonitorThread() {
  if (thread_.joinable()) Join(0);
}

uint32_t MonitorThread::Start(std::function<uint32_t()> body) {
  auto state = std::make_shared<State>();
  try {
    thread_ = std::thread([state, body = std::move(body)] {
      uint32_t result = body();
      std::lock_guard<std::mutex> lock(state->mutex);
      state->result = result;
      state->done = true;
      state->ended.notify_all();
    });
  } catch (const std::system_error& e) {
    return platform::Fail(platform::FromErrno(e.code().value()));
  }
  state_ = std::move(state);
  return 0;
}

uint32_t MonitorThread::Join(unsigned timeout_ms) {
  if (!thread_.joinable()) return 0;
  bool ended;
  {
    std::unique_lock<std::mutex> lock(state_->mutex);
    ended = state_->ended.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                                   [this] { return state_->done; });
  }
  if (ended) {
    thread_.join();
    return state_->result;
  }
  // The thread shares only its own state block, so leaving it behind is safe; the
  // cancellation ends it at its next wait.
  pthread_cancel(thread_.native_handle());
  thread_.detach();
  return ERROR_OPERATION_ABORTED;
}

}  // namespace pelldesk
