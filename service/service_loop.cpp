// Scanning and waiting. The rescan every minute catches whatever the change
// notification missed (or all of it, when the notification could not be set up).
#include "service_loop.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "control_job.h"
#include "pellam.h"
#include "pellam_mailbox.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "queue_file.h"
#include "queue_watch.h"
#include "temp_cleanup.h"

namespace pellam::service {
namespace {

constexpr int kRescanMs = 60 * 1000;

// Control files worked on together: their messages for each local user are delivered
// by one child per step, and their journals flushed together.
constexpr size_t kBatchFiles = 256;

}  // namespace

size_t ServiceLoop::Pass(const std::atomic<bool>& stop) {
  const std::string queue = settings_.system.MailQueuePath;
  const std::time_t now = clock_();
  std::vector<std::string> names;
  if (const uint32_t code = ListQueue(queue, mailbox::kQueueFiles, &names)) {
    log_.Report(EVT_FILE_SEARCH, queue + mailbox::kQueueFiles, "", code);
    return 0;
  }
  // Forget retry times of files that are gone.
  for (auto it = due_.begin(); it != due_.end();) {
    it = std::find(names.begin(), names.end(), it->first) == names.end() ? due_.erase(it) : std::next(it);
  }
  size_t worked = 0;
  const std::time_t delta = static_cast<std::time_t>(settings_.system.SenderRetryDelta / 1000);
  std::vector<std::string> due;
  for (const std::string& name : names) {
    if (auto it = due_.find(name); it == due_.end() || it->second <= now) due.push_back(name);
  }
  for (size_t first = 0; first < due.size() && !stop.load();) {
    const size_t count = std::min(kBatchFiles, due.size() - first);
    const std::vector<std::string> batch(due.begin() + static_cast<std::ptrdiff_t>(first),
                                         due.begin() + static_cast<std::ptrdiff_t>(first + count));
    const std::vector<JobStatus> statuses = RunControlJobs(settings_, log_, batch, stop, now);
    bool stopped = false;
    for (size_t i = 0; i < statuses.size(); ++i) {
      ++worked;
      const std::string& name = batch[i];
      switch (statuses[i]) {
        case JobStatus::kFinished:
        case JobStatus::kSetAside:
          due_.erase(name);
          break;
        case JobStatus::kPending:
        case JobStatus::kBusy:
        case JobStatus::kFailed:
          due_[name] = now + std::max<std::time_t>(delta, 1);
          break;
        case JobStatus::kStopped:
          stopped = true;
          break;
      }
    }
    if (stopped) return worked;
    first += std::max<size_t>(statuses.size(), 1);
  }
  RemoveOrphanJournals();
  RemoveStaleFiles(now);
  return worked;
}

// Only after a whole pass: every job has then settled the postings a killed service
// left, so no temporary file still stands for a posting (see journaled_post.h).
void ServiceLoop::RemoveStaleFiles(std::time_t now) {
  constexpr std::time_t kEveryHour = 60 * 60;
  if (last_cleanup_ != 0 && now - last_cleanup_ < kEveryHour) return;
  last_cleanup_ = now;
  RemoveStaleTemporaryFiles(settings_.system.MailTempPath, now, log_);
}

void ServiceLoop::Drain(const std::atomic<bool>& stop) {
  while (!stop.load() && Pass(stop) > 0) {
  }
}

// A journal whose control file is gone was left by a crash between removing the two.
// Only the service's own files are removed; anything else a user put there stays.
void ServiceLoop::RemoveOrphanJournals() {
  const std::string queue = settings_.system.MailQueuePath;
  std::vector<std::string> journals;
  if (ListQueue(queue, "*.sta", &journals) != 0) return;
  for (const std::string& journal : journals) {
    const std::string control = queue + journal.substr(0, journal.size() - 4) + PELLAM_QUEUE_FILE_SUFFIX;
    platform::FileFacts facts;
    // Kept unless its control file is known to be gone.
    if (platform::LookAtName(control.c_str(), &facts) != ERROR_FILE_NOT_FOUND) continue;
    const std::string path = queue + journal;
    if (platform::LookAtName(path.c_str(), &facts) == 0 && S_ISREG(facts.mode) && facts.owner == ::geteuid()) {
      platform::DeleteFile(path.c_str());
    }
  }
}

int ServiceLoop::MillisecondsToWait(std::time_t now) const {
  int wait = kRescanMs;
  for (const auto& [name, when] : due_) {
    const std::time_t seconds = when > now ? when - now : 0;
    wait = std::min<int>(wait, static_cast<int>(std::min<std::time_t>(seconds, kRescanMs / 1000)) * 1000);
  }
  return wait;
}

void ServiceLoop::Run(const std::atomic<bool>& stop, int stop_fd) {
  QueueWatch watch;
  if (const uint32_t code = watch.Start(settings_.system.MailQueuePath)) {
    log_.Report(EVT_CHANGE_MONITOR, settings_.system.MailQueuePath, "", code);
  }
  while (!stop.load()) {
    Drain(stop);
    if (stop.load()) break;
    if (watch.Wait(stop_fd, MillisecondsToWait(clock_())) == QueueWatch::Wake::kStop) break;
  }
}

}  // namespace pellam::service
