// Time as the stack sees it. Every state machine takes "now" as an argument and says
// when it next wants to run, so tests drive it with a fake clock and the event loop
// with the real one.
#pragma once

#include <chrono>
#include <optional>

namespace decnet {

using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;
using Duration = Clock::duration;
using std::chrono::milliseconds;
using std::chrono::seconds;

// The earlier of two optional deadlines.
inline std::optional<TimePoint> Earlier(std::optional<TimePoint> a, std::optional<TimePoint> b) {
  if (!a) return b;
  if (!b) return a;
  return *a < *b ? a : b;
}

}  // namespace decnet
