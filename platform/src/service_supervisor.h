// The supervisor of the service control layer, for machines without systemd, sandboxes
// and tests: it starts a service detached, records the process in a pid file
// (InRoot("/run/pellam/<name>.pid"): pid, start time, start and stop-request stamps),
// tells its state from that record and the process table, and stops it with SIGTERM.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/services.h"

namespace platform::service {

// The settling time after a start and the stop wait (SetServiceTimeouts).
unsigned StartSettleMs() noexcept;
unsigned StopWaitMs() noexcept;

// current_state, controls_accepted and wait_hint of the named service. A record of a
// process that has ended, or whose id now belongs to another process, is removed.
uint32_t SupervisedState(const std::string& name, ServiceStatus* status);

// Starts `program` with `args` after it; the caller has made sure the service is
// stopped. A program that ends before it can be recorded leaves no record.
uint32_t SupervisedStart(const std::string& name, const std::string& program,
                         const std::vector<std::string>& args);

// Sends SIGTERM to a started service and records when; `status` receives the state
// that results (or the state that forbade the stop).
uint32_t SupervisedStop(const std::string& name, ServiceStatus* status);

}  // namespace platform::service
