// Work done with a recipient's identity: a child that drops to the user's uid and gid
// before touching anything in the user's directories, so that links planted there
// lead nowhere the user could not reach already, and every file it makes is the user's
// own. The child has a deadline and dies at once when the service is asked to stop,
// so no user can hold up the service by stopping or slowing the work done for her.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/accounts.h"

namespace pellam::service {

// The child's work: returns a status code and may hand back bytes in `*data`.
using UserWork = std::function<uint32_t(std::string* data)>;

inline constexpr unsigned kDefaultUserWorkMs = 30000;

// Sets, for every child from now on, how long it may work and the descriptor whose
// readiness stops it (the service's stop request; -1 for none).
void SetUserWorkLimits(unsigned deadline_ms, int stop_fd);

// Runs `work` in a child with the identity of `user` (with umask 077) and returns its
// status, its bytes in `*data` when given. ERROR_TIMEOUT when the child ran past its
// deadline, ERROR_OPERATION_ABORTED when a stop ended it; a service that is not root
// can only act for its own uid (ERROR_ACCESS_DENIED otherwise). A child that cannot be
// started, or dies before reporting, gives ERR_SERVICE_INTERNAL.
uint32_t RunAsUser(const platform::Account& user, const UserWork& work, std::string* data = nullptr);

// As above, with the service's open file `lent` left open in the child for the work
// to read (a file of the service's that the user could not open by name).
uint32_t RunAsUserWithFile(const platform::Account& user, int lent, const UserWork& work);

}  // namespace pellam::service
