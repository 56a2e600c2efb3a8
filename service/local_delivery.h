// Delivering message files into local users' "new" folders in two steps, each done
// with the user's identity, so that a crash between or inside them never delivers a
// message twice or not at all:
//   1. stage: write each file whole under the user's mail directory, in ".incoming/"
//      (hidden from the client, whose folders have no dot), flushed, then renamed to
//      its staged name, so a staged file is always complete;
//   2. place: move the staged files into "new".
// The caller records "staged" between the two. A staged name that is gone therefore
// means the move happened; one that is there means it did not. Each step takes every
// message waiting for one user in one child, and flushes each folder once.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "pellam.h"
#include "platform/accounts.h"

namespace pellam::service {

// The staged name of recipient `index` of the job `job_base`.
std::string StagedPath(const MailProfile& profile, const std::string& job_base, size_t index);

struct MessageToStage {
  std::string staged;      // its staged name
  std::string_view bytes;  // the whole file
};

// Step 1 for every message of `messages`: one code each, 0 once the file stands under
// its staged name on disk (an earlier file of that name is replaced). A child that
// could not finish (its deadline, a stop) gives its code to every message.
std::vector<uint32_t> StageMessages(const platform::Account& user, const MailProfile& profile,
                                    const std::vector<MessageToStage>& messages);

// Step 1 for a message in an open file of the service's, copied from its start.
uint32_t StageMessageFile(const platform::Account& user, const MailProfile& profile, const std::string& staged,
                          int source);

// Removes a staged file that is not to be placed after all; 0 also when it is gone.
uint32_t DiscardStaged(const platform::Account& user, const std::string& staged);

// Step 2 for every staged file of `staged`, in order: one code each, 0 once the file
// stands in "new" and the folder is on disk, also when the staged file is gone already
// (placed by an earlier attempt). ERROR_SHARING_VIOLATION for all when another process
// holds the folder's counter: the user is served on a later pass, the others meanwhile.
std::vector<uint32_t> PlaceStagedMessages(const platform::Account& user, const MailProfile& profile,
                                          const std::vector<std::string>& staged);

// Step 2 for one staged file.
uint32_t PlaceStaged(const platform::Account& user, const MailProfile& profile, const std::string& staged);

}  // namespace pellam::service
