// Waiting for work: a change notification on the queue directory (a name created or
// moved in), a descriptor that a stop request makes readable, and a time-out for the
// periodic rescan that also catches anything the notification missed.
#pragma once

#include <cstdint>
#include <string>

#include "platform/change_notify.h"

namespace pellam::service {

class QueueWatch {
 public:
  QueueWatch() = default;
  QueueWatch(const QueueWatch&) = delete;
  QueueWatch& operator=(const QueueWatch&) = delete;

  // Starts watching `queue`; 0 or the platform's code (the caller then relies on the
  // rescan alone).
  uint32_t Start(const std::string& queue);

  enum class Wake { kChange, kTimeout, kStop };

  // Waits up to `timeout_ms` for a change in the queue or for `stop_fd` to become
  // readable. A stop wins over a change that arrives with it.
  Wake Wait(int stop_fd, int timeout_ms);

 private:
  platform::ChangeNotification notify_;
};

}  // namespace pellam::service
