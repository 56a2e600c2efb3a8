// The durable record of a control file's progress, kept beside it in the queue as
// "<name>.sta": an append-only journal of one line per step ("staged 3", "delivered
// 3", "done 3"), each flushed to disk before the step after it begins, so that a
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

  Step StepOf(size_t recipient) const { return recipient < steps_.size() ? steps_[recipient] : Step::kNone; }
  bool AllDone() const;

  // Appends the step and flushes it to disk before returning 0.
  uint32_t Record(size_t recipient, Step step);

  // Closes and deletes the journal (the job is finished).
  uint32_t Remove();

 private:
  uint32_t Load(const JobIdentity& identity);
  uint32_t Restart(const JobIdentity& identity);

  platform::UniqueFile file_;
  std::string path_;
  std::vector<Step> steps_;
};

// The journal's name for a control file name: ".mai" replaced by ".sta".
std::string JournalName(const std::string& control_name);

}  // namespace pellam::service
