// Slicing the waits. A slice that times out has taken nothing from the link, so the
// next slice goes on where it stopped.
#include "stoppable_link.h"

#include <algorithm>

namespace pellam::service {
namespace {

constexpr std::chrono::milliseconds kSlice{100};

}  // namespace

template <typename Call>
decnet::Outcome StoppableLink::Sliced(std::chrono::milliseconds timeout, Call call) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (stop_.load()) return decnet::Outcome{decnet::LinkError::kNotRunning, 0, {}};
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    decnet::Outcome outcome = call(std::clamp(left, std::chrono::milliseconds(0), kSlice));
    if (outcome.error != decnet::LinkError::kTimeout || left <= kSlice) return outcome;
  }
}

decnet::Outcome StoppableLink::Send(const decnet::Message& message, std::chrono::milliseconds timeout) {
  return Sliced(timeout, [&](std::chrono::milliseconds slice) { return link_.Send(message, slice); });
}

decnet::Outcome StoppableLink::Receive(decnet::Message& message, std::chrono::milliseconds timeout) {
  return Sliced(timeout, [&](std::chrono::milliseconds slice) { return link_.Receive(message, slice); });
}

}  // namespace pellam::service
