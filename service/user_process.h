// Work done with a recipient's identity: a forked child that drops to the user's uid
// and gid before touching anything in the user's directories, so that links planted
// there lead nowhere the user could not write already, and every file it makes is the
// user's own. The child dies with the service, so no orphan works on after a kill.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/accounts.h"

namespace pellam::service {

// The child's work: returns a status code and may hand back bytes in `*data`.
using UserWork = std::function<uint32_t(std::string* data)>;

// Runs `work` in a child with the identity of `user` (with umask 077) and returns its
// status, its bytes in `*data` when given. A service that is not root can only act for
// its own uid (ERROR_ACCESS_DENIED otherwise). A child that cannot be started, or
// dies before reporting, gives ERR_SERVICE_INTERNAL.
uint32_t RunAsUser(const platform::Account& user, const UserWork& work, std::string* data = nullptr);

}  // namespace pellam::service
