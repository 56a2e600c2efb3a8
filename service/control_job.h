// One pass over one control file of the queue: read it safely, resume its journal,
// serve each recipient not yet done, and remove the file (and its journal) once every
// recipient has been served or reported back. A file that cannot be used is set aside
// and its owner told; a user's message whose From line names another account is
// refused whole. The failures of one pass go back in one report, to the poster (for
// root's files, to the From line's sender). Recipients that cannot be served now stay
// queued until the file is older than SenderRetryLimit, when they are reported back.
#pragma once

#include <atomic>
#include <ctime>
#include <string>
#include <vector>

#include "job.h"

namespace pellam::service {

enum class JobStatus {
  kFinished,  // served and removed, or gone before it was read
  kPending,   // recipients remain for a later pass
  kSetAside,  // not a usable control file: renamed aside
  kBusy,      // another service holds its journal
  kFailed,    // a file operation failed; logged, tried again later
  kStopped,   // a stop was asked for: left between two recipients
};

// Works on `name` in the queue; `stop` is looked at before each recipient, so the one
// in progress is always finished. `now` is the time of this pass.
JobStatus RunControlJob(const ServiceSettings& settings, const EventLog& log, const std::string& name,
                        const std::atomic<bool>& stop, std::time_t now);

// Works on the control files `names` together, as RunControlJob on each in turn would,
// except that this node's deliveries of all of them go through one batch (see
// local_batch.h), and the queue directory is flushed once for all the files removed.
// One status per name, in order; fewer when the messages read fill the batch's memory,
// the files left out being the caller's to pass again.
std::vector<JobStatus> RunControlJobs(const ServiceSettings& settings, const EventLog& log,
                                      const std::vector<std::string>& names, const std::atomic<bool>& stop,
                                      std::time_t now);

}  // namespace pellam::service
