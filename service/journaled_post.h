// Mail the service posts itself (forwarded copies, automatic replies, error reports),
// posted exactly once across kills: the posting is recorded in the job's journal
// before its control file moves from the temporary directory into the queue, and a
// restarted service settles each recorded posting by looking for that file (see
// Posting in job_state.h).
#pragma once

#include <cstdint>
#include <vector>

#include "generated_mail.h"
#include "job.h"

namespace pellam::service {

struct PostResult {
  uint32_t code = 0;            // 0 once posted; else why not
  bool journal_failed = false;  // the journal could not be written: the job must stop
};

// Posts `mail` for `recipients` of `job`, recording the intent first; a posting that
// fails after that is recorded as cancelled. The caller records the recipients as done.
PostResult PostForRecipients(Job& job, const std::vector<size_t>& recipients, const PreparedMail& mail);

// Settles the postings of an earlier run that are not followed by their recipients'
// "done": a temporary file that is still there (the service's own, of the recorded
// inode) was never posted and is removed, to be composed again; one that is gone was
// posted, and its recipients are recorded as done. 0 or the journal's failure.
uint32_t SettlePostings(Job& job);

}  // namespace pellam::service
