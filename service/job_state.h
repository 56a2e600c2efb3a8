// The durable record of a control file's progress, kept beside it in the queue as
// "<name>.sta": an append-only journal of one line per step ("staged 3", "delivered
// 3", "done 3", "posting 3,4 <inode> <temporary file>", "cancelled <temporary
// file>"), each flushed to disk before the step after it begins, so that a
// restarted service resumes where a killed one stopped and repeats no delivery. The
// journal is held with no sharing while a job runs, so two services never work on one
// job. Its first line names the control file it belongs to (creation time, size,
// inode), so a journal left behind cannot be taken for a new file of the same name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/files.h"

namespace pellam::service {

// What a recipient has been through, in order.
enum class Step : uint8_t { kNone = 0, kStaged = 1, kDelivered = 2, kDone = 3 };

// Mail the service posts itself on behalf of some recipients (a forwarded copy, an
// automatic reply, the error report), recorded before it is posted: its complete
// control file still in the temporary directory means it was not posted; the file
// gone means it was. `cancelled` once the posting failed and the file was discarded.
struct Posting {
  std::vector<size_t> recipients;
  uint64_t inode = 0;  // of the temporary file, so another file of its name is no witness
  std::string temp;    // the temporary file's full name
  bool cancelled = false;
};

// Names a control file: a journal for another file of the same name is stale.
struct JobIdentity {
  uint64_t creation_time = 0;
  uint64_t size = 0;
  uint64_t inode = 0;
  bool operator==(const JobIdentity&) const = default;
};

class JobState {
 public:
  // Opens (or creates) the journal at `path` for a job of `recipients` recipients and
  // reads it back. 0; ERROR_SHARING_VIOLATION when another service holds it;
  // ERROR_ACCESS_DENIED for a journal that is a link or not the service's own (the
  // caller moves it aside); or the platform's code. A journal of another identity, or
  // one whose last line was cut short, is rewritten or trimmed.
  uint32_t Open(const std::string& path, const JobIdentity& identity, size_t recipients);

  bool IsOpen() const { return static_cast<bool>(file_); }

  Step StepOf(size_t recipient) const { return recipient < steps_.size() ? steps_[recipient] : Step::kNone; }
  bool AllDone() const;

  // Appends the step and flushes it to disk before returning 0.
  uint32_t Record(size_t recipient, Step step);

  // The same for many recipients, with one flush for all of them.
  uint32_t Record(const std::vector<size_t>& recipients, Step step);

  // Appends the step without flushing it: it counts, and the step after it may begin,
  // only once FlushJournals has returned 0 for this journal.
  uint32_t Write(const std::vector<size_t>& recipients, Step step);

  // Records, flushed, that `posting` is about to be posted, or that it was given up.
  uint32_t RecordPosting(const Posting& posting);
  uint32_t RecordCancelled(const std::string& temp);

  // The postings recorded so far, in order, cancelled ones marked.
  const std::vector<Posting>& Postings() const { return postings_; }

  // Closes and deletes the journal (the job is finished).
  uint32_t Remove();

  // Puts on disk, with one wait, everything written to the journals `states` (all in
  // the directory `queue`), their names included.
  static uint32_t FlushJournals(const std::string& queue, const std::vector<JobState*>& states);

 private:
  uint32_t Load(const JobIdentity& identity);
  uint32_t Restart(const JobIdentity& identity);
  uint32_t Append(const std::string& line, bool flush = true);
  uint32_t AppendSteps(const std::vector<size_t>& recipients, Step step, bool flush);
  void ReadLine(const std::string& line);

  platform::UniqueFile file_;
  std::string path_;
  std::vector<Step> steps_;
  std::vector<Posting> postings_;
  bool name_on_disk_ = false;  // the journal's directory entry is known to be flushed
  uint32_t broken_ = 0;        // why a line could not be written: no more are
};

// The journal's name for a control file name: ".mai" replaced by ".sta".
std::string JournalName(const std::string& control_name);

}  // namespace pellam::service
