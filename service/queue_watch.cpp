// The platform's change notification on the queue directory. Control files arrive by
// rename; a file written in place is seen when it is closed. The changes themselves
// are only drained: any of them means "scan the queue again".
#include "queue_watch.h"

#include "platform/errors.h"
#include "platform/events.h"

namespace pellam::service {

uint32_t QueueWatch::Start(const std::string& queue) {
  return notify_.Open(queue, platform::kNotifyNameAdded | platform::kNotifyWritten);
}

QueueWatch::Wake QueueWatch::Wait(int stop_fd, int timeout_ms) {
  const int handles[2] = {stop_fd, notify_.handle()};
  const uint32_t woken = platform::WaitForObjects(handles, notify_.IsOpen() ? 2 : 1, timeout_ms);
  if (woken == platform::kWaitTimeout) return Wake::kTimeout;
  // A stop descriptor that is no longer open can never be waited on again: that is a
  // stop too, rather than a loop that wakes at once for ever.
  if (woken == 0 || (woken == platform::kWaitFailed && platform::GetLastError() == ERROR_INVALID_HANDLE)) {
    return Wake::kStop;
  }
  // Another failed wait looks again, and at the stop flag; a notification whose
  // directory went away stays quiet from now on and the rescan carries on alone.
  if (woken == 1) notify_.Rearm();
  return Wake::kChange;
}

}  // namespace pellam::service
