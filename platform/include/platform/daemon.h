// What a service's own process does at start-up, in place of what the original
// platform's service control manager did for it: leave the terminal that started it,
// and turn the stop signals into an event that its threads can wait for.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/events.h"
#include "platform/export.h"

namespace platform {

// The classic detach: a child in a session of its own, and its child the process that
// goes on, with no terminal, "/" as its directory and the standard files on /dev/null.
// Returns 0 in that grandchild only (the caller's process and the child between end
// with status 0), or the code of the step that failed, in the process that got that
// far: the caller's own when the first child cannot be made.
PLATFORM_API uint32_t DetachFromTerminal() noexcept;

// Makes SIGTERM and SIGINT a stop request: the handler sets `*stop` and signals
// `*event` (created by the caller). Both must live as long as the process, since a
// signal may come at any time. SIGPIPE is ignored from now on, so that a peer that has
// gone is a failed write, not the end of the process. 0 or the status code.
PLATFORM_API uint32_t AnswerStopSignals(std::atomic<bool>* stop, Event* event) noexcept;

}  // namespace platform
