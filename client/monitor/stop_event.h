// A manual-reset event on an eventfd: once set it stays signalled until reset, so every
// waiter sees it. The new-mail monitor's only stop signal.
#pragma once

#include <cstdint>

namespace pelldesk {

class StopEvent {
 public:
  StopEvent() = default;
  ~StopEvent();
  StopEvent(const StopEvent&) = delete;
  StopEvent& operator=(const StopEvent&) = delete;

  // Creates the event, not signalled; 0 or the platform's status code.
  uint32_t Create();
  bool IsCreated() const { return fd_ >= 0; }
  // Signals the event; false (last-error value set) when that fails.
  bool Set();
  bool Reset();
  void Close();

  // Readable while the event is signalled.
  int fd() const { return fd_; }

 private:
  int fd_ = -1;
};

}  // namespace pelldesk
