// The temporary directory is writable by every user, but a name there is held by one
// file at a time: once the service's file has moved into the queue, a user may create
// another of that name, which is why the owner and inode are checked as well.
#include "journaled_post.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "platform/errors.h"
#include "platform/files.h"

namespace pellam::service {
namespace {

bool StillInTemporaryDirectory(const Posting& p) {
  platform::FileFacts st;
  return platform::LookAtName(p.temp.c_str(), &st) == 0 && S_ISREG(st.mode) && st.owner == ::geteuid() &&
         st.inode == p.inode;
}

}  // namespace

PostResult PostForRecipients(Job& job, const std::vector<size_t>& recipients, const PreparedMail& mail) {
  PostResult result;
  result.code = PostPrepared(
      mail,
      [&](const std::string& name, uint64_t inode) {
        const uint32_t code = job.state.RecordPosting({recipients, inode, name, false});
        if (code != 0) {
          job.log.Report(EVT_FILE_WRITE, JournalName(job.name), "", code);
          result.journal_failed = true;
        }
        return code;
      },
      // The composition is about to discard the unposted file: the journal must not
      // take its absence for a posting.
      [&](const std::string& name) {
        if (job.state.RecordCancelled(name) != 0) result.journal_failed = true;
      });
  return result;
}

uint32_t SettlePostings(Job& job) {
  const std::vector<Posting> postings = job.state.Postings();
  for (const Posting& p : postings) {
    if (p.cancelled) continue;
    const bool open = std::any_of(p.recipients.begin(), p.recipients.end(),
                                  [&](size_t r) { return job.state.StepOf(r) != Step::kDone; });
    if (!open) continue;
    if (StillInTemporaryDirectory(p)) {
      // Recorded before the file goes: a kill in between must not leave a posting
      // whose file is gone, which would read as posted.
      if (const uint32_t code = job.state.RecordCancelled(p.temp)) return code;
      if (!platform::DeleteFile(p.temp.c_str()) && platform::GetLastError() != ERROR_FILE_NOT_FOUND) {
        job.log.Report(EVT_FILE_DELETE, p.temp, "", platform::GetLastError());
      }
      continue;
    }
    std::vector<size_t> open_recipients;
    for (size_t r : p.recipients) {
      if (job.state.StepOf(r) != Step::kDone) open_recipients.push_back(r);
    }
    if (const uint32_t code = job.state.Record(open_recipients, Step::kDone)) return code;
  }
  return 0;
}

}  // namespace pellam::service
