// The service's main loop: scan the queue, work on every control file that is due,
// wait for a change or for the next retry, until asked to stop. A file whose
// recipients could not all be served is not looked at again before SenderRetryDelta.
// Once an hour, from the end of the first pass, stale temporary files are removed.
#pragma once

#include <atomic>
#include <ctime>
#include <functional>
#include <map>
#include <string>

#include "job.h"

namespace pellam::service {

class ServiceLoop {
 public:
  // The time in seconds since 1970; the loop reads the time only through this.
  using WallClock = std::function<std::time_t()>;

  ServiceLoop(const ServiceSettings& settings, const EventLog& log,
              WallClock clock = [] { return std::time(nullptr); })
      : settings_(settings), log_(log), clock_(std::move(clock)) {}

  // One scan: works on each control file that is due; returns how many it worked on.
  size_t Pass(const std::atomic<bool>& stop);

  // Passes until one finds nothing due (mail the service posts itself included).
  void Drain(const std::atomic<bool>& stop);

  // Watches the queue until `stop` is set (its setter makes `stop_fd` readable).
  void Run(const std::atomic<bool>& stop, int stop_fd);

  // How long Run waits at `now` before it scans again: until the next retry falls due,
  // a minute at most.
  int MillisecondsToWait(std::time_t now) const;

 private:
  void RemoveOrphanJournals();
  void RemoveStaleFiles(std::time_t now);

  const ServiceSettings& settings_;
  const EventLog& log_;
  WallClock clock_;
  std::map<std::string, std::time_t> due_;  // files waiting for a retry, and when
  std::time_t last_cleanup_ = 0;            // of the temporary directory
};

}  // namespace pellam::service
