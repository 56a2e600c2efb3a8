// The job journal: lines of text, so an administrator can read where a job stands.
// A line counts only once its line feed is on disk; a line cut short by a crash is
// trimmed before anything is appended, so it cannot run into the next record.
#include "job_state.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/errors.h"
#include "platform/paths.h"

namespace pellam::service {
namespace {

constexpr const char* kStepNames[] = {"", "staged", "delivered", "done"};

std::string IdentityLine(const JobIdentity& id) {
  char line[96];
  std::snprintf(line, sizeof line, "job %" PRIu64 " %" PRIu64 " %" PRIu64 "\n", id.creation_time, id.size, id.inode);
  return line;
}

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

uint32_t LastError() {
  const uint32_t code = platform::GetLastError();
  return code != 0 ? code : ERROR_GEN_FAILURE;
}

}  // namespace

std::string JournalName(const std::string& control_name) {
  const size_t dot = control_name.rfind('.');
  return (dot == std::string::npos ? control_name : control_name.substr(0, dot)) + ".sta";
}

uint32_t JobState::Open(const std::string& path, const JobIdentity& identity, size_t recipients) {
  path_ = path;
  steps_.assign(recipients, Step::kNone);
  postings_.clear();
  file_.reset();  // a journal held from an earlier open would refuse this one
  file_.reset(platform::CreateFile(path.c_str(), platform::kReadWrite, platform::kShareNone,
                                   platform::kOpenAlways, 0600));
  if (!file_) return LastError();
  // The queue is writable by every user: a journal that is not the service's own file
  // could have been planted to make it skip recipients, so it is never trusted.
  platform::FileFacts st;
  if (const uint32_t code = platform::LookAtFile(file_.get(), &st)) return code;
  if (!S_ISREG(st.mode) || st.owner != ::geteuid() || st.links != 1) {
    file_.reset();
    return ERROR_ACCESS_DENIED;
  }
  // Even a journal found here may stand only in memory, left by a killed service.
  name_on_disk_ = false;
  broken_ = 0;
  if (st.size == 0) return Restart(identity);
  return Load(identity);
}

uint32_t JobState::Restart(const JobIdentity& identity) {
  std::fill(steps_.begin(), steps_.end(), Step::kNone);
  postings_.clear();
  // Not flushed: the line matters only with the steps after it, whose flush takes it
  // along (and the journal's name with it, see Append).
  const std::string line = IdentityLine(identity);
  if (!platform::SetFilePointer(file_.get(), 0, platform::kBegin) || !platform::SetEndOfFile(file_.get()) ||
      !platform::WriteFile(file_.get(), line.data(), static_cast<uint32_t>(line.size()))) {
    return LastError();
  }
  return 0;
}

uint32_t JobState::Load(const JobIdentity& identity) {
  std::string text;
  char buffer[4096];
  if (!platform::SetFilePointer(file_.get(), 0, platform::kBegin)) return LastError();
  for (;;) {
    uint32_t got = 0;
    if (!platform::ReadFile(file_.get(), buffer, sizeof buffer, &got)) return LastError();
    if (got == 0) break;
    text.append(buffer, got);
    if (text.size() > (1u << 24)) return Restart(identity);  // never written by the service
  }
  const std::string expected = IdentityLine(identity);
  if (text.compare(0, expected.size(), expected) != 0) return Restart(identity);
  const size_t complete = text.rfind('\n') + 1;  // identity line ends in one
  if (complete < text.size()) {
    if (!platform::SetFilePointer(file_.get(), static_cast<int64_t>(complete), platform::kBegin) ||
        !platform::SetEndOfFile(file_.get()) || !platform::FlushFile(file_.get())) {
      return LastError();
    }
  }
  size_t at = expected.size();
  while (at < complete) {
    const size_t end = text.find('\n', at);
    ReadLine(text.substr(at, end - at));
    at = end + 1;
  }
  return 0;
}

// One line of the journal; a line the service did not write is ignored.
void JobState::ReadLine(const std::string& line) {
  char name[16];
  int used = 0;
  if (std::sscanf(line.c_str(), "%15s %n", name, &used) != 1) return;
  const std::string rest = line.substr(static_cast<size_t>(used));
  if (std::strcmp(name, "posting") == 0) {
    Posting p;
    char* after = nullptr;
    for (const char* at = rest.c_str();; at = after + 1) {
      const unsigned long long index = std::strtoull(at, &after, 10);
      if (after == at || index >= steps_.size()) return;
      p.recipients.push_back(static_cast<size_t>(index));
      if (*after != ',') break;
    }
    if (*after != ' ') return;
    const char* inode_text = after + 1;
    p.inode = std::strtoull(inode_text, &after, 10);
    if (after == inode_text || *after != ' ' || after[1] == '\0') return;
    p.temp = after + 1;
    postings_.push_back(std::move(p));
    return;
  }
  if (std::strcmp(name, "cancelled") == 0) {
    for (Posting& p : postings_) {
      if (p.temp == rest) p.cancelled = true;
    }
    return;
  }
  size_t index = 0;
  if (std::sscanf(rest.c_str(), "%zu", &index) != 1 || index >= steps_.size()) return;
  for (uint8_t s = 1; s < 4; ++s) {
    if (std::strcmp(name, kStepNames[s]) == 0 && s > static_cast<uint8_t>(steps_[index])) {
      steps_[index] = static_cast<Step>(s);
    }
  }
}

bool JobState::AllDone() const {
  for (Step s : steps_) {
    if (s != Step::kDone) return false;
  }
  return true;
}

// A step counts only when both its line and the journal's name are on disk: a name
// lost in a crash would take every recorded step with it.
// After a failed write the journal takes no more lines until it is opened again (and
// the part of a line trimmed): the next line would run into the broken one.
uint32_t JobState::Append(const std::string& line, bool flush) {
  if (broken_ != 0) return broken_;
  if (!platform::SetFilePointer(file_.get(), 0, platform::kEnd) ||
      !platform::WriteFile(file_.get(), line.data(), static_cast<uint32_t>(line.size()))) {
    return broken_ = LastError();
  }
  if (!flush) return 0;
  if (!platform::FlushFile(file_.get())) return LastError();
  if (!name_on_disk_) {
    if (!platform::FlushDirectory(DirectoryOf(path_).c_str())) return LastError();
    name_on_disk_ = true;
  }
  return 0;
}

uint32_t JobState::FlushJournals(const std::string& queue, const std::vector<JobState*>& states) {
  if (states.empty()) return 0;
  for (const JobState* state : states) {
    if (state->broken_ != 0) return state->broken_;
  }
  if (!platform::FlushFileSystem(queue.c_str())) return LastError();
  for (JobState* state : states) state->name_on_disk_ = true;
  return 0;
}

uint32_t JobState::Record(size_t recipient, Step step) { return Record(std::vector<size_t>{recipient}, step); }

uint32_t JobState::Record(const std::vector<size_t>& recipients, Step step) { return AppendSteps(recipients, step, true); }

uint32_t JobState::Write(const std::vector<size_t>& recipients, Step step) { return AppendSteps(recipients, step, false); }

uint32_t JobState::AppendSteps(const std::vector<size_t>& recipients, Step step, bool flush) {
  if (recipients.empty()) return 0;
  std::string lines;
  for (size_t recipient : recipients) {
    lines += kStepNames[static_cast<uint8_t>(step)];
    lines += " " + std::to_string(recipient) + "\n";
  }
  if (const uint32_t code = Append(lines, flush)) return code;
  for (size_t recipient : recipients) {
    if (recipient < steps_.size() && step > steps_[recipient]) steps_[recipient] = step;
  }
  return 0;
}

uint32_t JobState::RecordPosting(const Posting& posting) {
  std::string line = "posting ";
  for (size_t i = 0; i < posting.recipients.size(); ++i) {
    line += (i == 0 ? "" : ",") + std::to_string(posting.recipients[i]);
  }
  line += " " + std::to_string(posting.inode) + " " + posting.temp + "\n";
  if (const uint32_t code = Append(line)) return code;
  postings_.push_back(posting);
  return 0;
}

uint32_t JobState::RecordCancelled(const std::string& temp) {
  if (const uint32_t code = Append("cancelled " + temp + "\n")) return code;
  for (Posting& p : postings_) {
    if (p.temp == temp) p.cancelled = true;
  }
  return 0;
}

uint32_t JobState::Remove() {
  const bool deleted = platform::DeleteFile(path_.c_str());
  const uint32_t code = deleted ? 0 : LastError();
  file_.reset();
  return code;
}

}  // namespace pellam::service
