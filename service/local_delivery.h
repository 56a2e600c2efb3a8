// Delivering one message file into a local user's "new" folder in two steps, each done
// with the user's identity, so that a crash between or inside them never delivers the
// message twice or not at all:
//   1. stage: write the file whole under the user's mail directory, in ".incoming/"
//      (hidden from the client, whose folders have no dot), flushed, then renamed to
//      its staged name, so a staged file is always complete;
//   2. place: move the staged file into "new" through DeliverMail.
// The caller records "staged" between the two. A staged name that is gone therefore
// means the move happened; one that is there means it did not.
#pragma once

#include <cstdint>
#include <string>

#include "pellam.h"
#include "platform/accounts.h"

namespace pellam::service {

// The staged name of recipient `index` of the job `job_base`.
std::string StagedPath(const MailProfile& profile, const std::string& job_base, size_t index);

// Step 1: writes `bytes` as the staged file (any earlier file of that name replaced).
uint32_t StageMessage(const platform::Account& user, const MailProfile& profile, const std::string& staged,
                      const std::string& bytes);

// Step 1 for a message in an open file of the service's, copied from its start.
uint32_t StageMessageFile(const platform::Account& user, const MailProfile& profile, const std::string& staged,
                          int source);

// Removes a staged file that is not to be placed after all; 0 also when it is gone.
uint32_t DiscardStaged(const platform::Account& user, const std::string& staged);

// Step 2: moves the staged file into the user's "new" folder; 0 also when it is gone
// already (placed by an earlier attempt).
uint32_t PlaceStaged(const platform::Account& user, const MailProfile& profile, const std::string& staged);

}  // namespace pellam::service
