// Serving a recipient on this node: the user's profile decides whether the message is
// refused (unknown user, not registered, delivery switched off), forwarded (a Forward
// address) or delivered into "new", followed by an automatic reply if the user wants
// one. Each step is recorded in the job's journal before the next begins.
#pragma once

#include <string>

#include "job.h"

namespace pellam::service {

RecipientResult ServeLocalRecipient(Job& job, size_t index, const std::string& user);

}  // namespace pellam::service
