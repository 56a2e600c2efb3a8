// Work done in a short-lived child process with another account's identity, for a
// privileged process that must act for a user without lending the user its rights,
// and without waiting on the user: the child has a deadline, and the caller can
// cancel it at any time (a stop request); either way it is killed, stopped or not.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace platform {

struct ChildLimits {
  unsigned deadline_ms = 30000;      // the child is killed once this has passed
  int cancel_fd = -1;                // when readable, the child is killed at once
  size_t max_output = size_t{4} << 20;  // bytes the child may hand back
  int lent_fd = -1;                  // a descriptor of the caller's the child keeps open
};

// The child's work: returns a status code and may hand back bytes in `*out`.
using ChildWork = std::function<uint32_t(std::string* out)>;

// Runs `work` in a forked child that takes the identity `uid`/`gid` (supplementary
// groups dropped, umask 077) and dies with its parent. The child has none of the
// caller's descriptors but the standard three and `lent_fd`, which lets it read a file
// it could not open itself. Returns the work's status and
// its bytes in `*out` (when given); ERROR_TIMEOUT when the deadline killed it,
// ERROR_OPERATION_ABORTED when `cancel_fd` did, ERROR_ACCESS_DENIED when the identity
// cannot be taken (a caller that is not root acts only for its own uid), and
// ERROR_PROCESS_ABORTED when the child died without reporting (the work threw, say)
// or sent too much.
uint32_t RunAsAccount(uint32_t uid, uint32_t gid, const ChildWork& work, const ChildLimits& limits,
                      std::string* out = nullptr);

}  // namespace platform
