// The job: a control file from the queue, its recipients in order, and the journal
// that lets a restarted service go on where the last one stopped.
#include "control_job.h"

#include <map>
#include <memory>
#include <optional>

#include "error_report.h"
#include "journaled_post.h"
#include "local_batch.h"
#include "local_recipient.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "poster.h"
#include "queue_file.h"
#include "recipient.h"
#include "remote_delivery.h"

namespace pellam::service {
namespace {

// Tells the owner of an unusable file what became of it; nothing is told to root,
// whose files are the system's own, nor to a uid that is no account. The file is set
// aside first: a kill in between loses this note, but never sends it twice.
void TellOwner(const std::string& name, const std::string& aside, const std::string& problem, uint32_t owner,
               const EventLog& log) {
  Poster poster;
  if (owner == 0 || IdentifyPoster(owner, &poster) != 0) return;
  const std::string text = "The file " + name + " that you put into the mail queue cannot be sent: it is " +
                           problem + ".\r\nIt is set aside as " + aside + ", and nothing of it was delivered.\r\n";
  GeneratedMail mail;
  mail.to = poster.account;
  mail.from = FromText(kServiceSender, "Mail delivery service");
  mail.subject = "Undeliverable mail: " + name;
  mail.automatic = "auto-generated";
  mail.text = text;
  if (const uint32_t code = PostGeneratedMail(mail)) log.Report(EVT_ERROR_REPORT_FAILED, "", "", code);
}

JobStatus SetAsideUnusable(const std::string& queue, const std::string& name, const QueueFileFacts& facts,
                           const EventLog& log) {
  std::string aside;
  if (const uint32_t code = SetAside(queue, name, &aside)) {
    log.Report(EVT_FILE_DELETE, queue + name, "", code);
    return JobStatus::kFailed;
  }
  log.Write(EVT_PARSE, queue + name, "",
            StatusText(ERR_CONTROL_FILE) + " It is " + facts.problem + " (owner uid " + std::to_string(facts.owner) +
                "). The file is set aside as " + aside + ".");
  TellOwner(name, aside, facts.problem, facts.owner, log);
  return JobStatus::kSetAside;
}

// Opens the journal; one that is not the service's own is set aside and replaced.
uint32_t OpenJournal(Job& job, const std::string& queue, const JobIdentity& identity) {
  const std::string journal = JournalName(job.name);
  const size_t count = job.contents.items.addresses.size();
  uint32_t code = job.state.Open(queue + journal, identity, count);
  if (code == ERROR_ACCESS_DENIED) {
    std::string aside;
    if (SetAside(queue, journal, &aside) == 0) {
      job.log.Write(EVT_FILE_OPEN, queue + journal, "",
                    "The journal is not the service's own file; it is set aside as " + aside + ".");
      code = job.state.Open(queue + journal, identity, count);
    }
  }
  return code;
}

}  // namespace

RecipientResult RecordDone(Job& job, size_t index) {
  if (const uint32_t code = job.state.Record(index, Step::kDone)) {
    job.log.Report(EVT_FILE_WRITE, JournalName(job.name), "", code);
    return Aborted();
  }
  return Served();
}

RecipientResult ReportBack(Job& job, size_t index, const std::string& reason, bool final) {
  const std::string& address = job.contents.items.addresses[index].text;
  job.log.Write(EVT_DELIVERY_FAILED, address, job.name, reason);
  job.failures.push_back({index, reason, final});
  return {Outcome::kReported, {}};
}

namespace {

// Posts this attempt's one error report and records its recipients as done. kPending
// when the report could not be posted and some of them are to be tried again.
JobStatus ReportFailures(Job& job) {
  if (job.failures.empty()) return JobStatus::kFinished;
  std::vector<size_t> indexes;
  for (const Failure& f : job.failures) indexes.push_back(f.index);
  PostResult posted;
  if (job.reply_to.empty() || job.reply_to_automatic) {
    job.log.Write(EVT_ERROR_REPORT_FAILED, "", "",
                  job.reply_to.empty() ? "The message names no sender."
                                       : "The message is automatic mail, which is never answered.");
  } else {
    Undeliverable failure{job.reply_to, {}, job.info.subject, job.contents.header(), job.contents.text()};
    for (const Failure& f : job.failures) failure.failed.push_back({job.contents.items.addresses[f.index].text, f.reason});
    std::string text;
    posted = PostForRecipients(job, indexes, Prepare(ErrorReportMail(failure, &text)));
    if (posted.journal_failed) return JobStatus::kFailed;
    if (posted.code != 0) job.log.Report(EVT_ERROR_REPORT_FAILED, "", "", posted.code);
  }
  bool pending = false;
  std::vector<size_t> done;
  for (const Failure& f : job.failures) {
    if (posted.code != 0 && !f.final) {
      pending = true;
    } else {
      done.push_back(f.index);
    }
  }
  job.failures.clear();
  if (const uint32_t code = job.state.Record(done, Step::kDone)) {
    job.log.Report(EVT_FILE_WRITE, JournalName(job.name), "", code);
    return JobStatus::kFailed;
  }
  return pending ? JobStatus::kPending : JobStatus::kFinished;
}

// Decides who hears of failures, and refuses a message whose From line is not its
// poster's: every recipient then goes into the report to the poster (true).
bool RefusedForItsSender(Job& job, const Poster& poster) {
  if (poster.system()) {
    job.reply_to = job.info.sender;
    job.reply_to_automatic = job.info.automatic;
    return false;
  }
  job.reply_to = poster.account;
  const std::string refusal = CheckSender(poster, job.contents.header(), job.settings.node);
  if (refusal.empty()) return false;
  job.log.Write(EVT_ADDRESS_REFUSED, job.info.sender, "",
                "The control file " + job.name + " was posted by " + poster.account + " but its From line names " +
                    (job.info.sender.empty() ? std::string("no one") : job.info.sender) + "; it is not delivered.");
  for (size_t i = 0; i < job.contents.items.addresses.size(); ++i) {
    if (job.state.StepOf(i) != Step::kDone) ReportBack(job, i, refusal, true);
  }
  return true;
}

// What one batch may hold of messages in memory; the files after it wait for the next.
constexpr size_t kBatchBytes = size_t{32} << 20;

// A job between the steps of a pass.
struct OpenJob {
  std::unique_ptr<Job> job;
  std::optional<JobStatus> status;  // set once the job has ended
  std::unique_ptr<RemoteDelivery> remote;
  std::vector<std::pair<size_t, std::string>> deferred;
  std::time_t posted = 0;
  bool refused = false;
  bool stopped = false;
  bool aborted = false;

  void Take(size_t index, RecipientResult& r) {
    if (r.outcome == Outcome::kAborted) aborted = true;
    if (r.outcome == Outcome::kDeferred) deferred.emplace_back(index, std::move(r.reason));
  }
};

// Reads the file, its journal and the postings a killed attempt left. A status when
// the job ends here.
std::optional<JobStatus> Open(Job& job, std::time_t now, OpenJob* open) {
  const ServiceSettings& settings = job.settings;
  const EventLog& log = job.log;
  const std::string queue = settings.system.MailQueuePath;
  const std::string& name = job.name;
  JobIdentity identity;
  QueueFileFacts facts;
  uint32_t code = ReadQueueFile(queue + name, &job.contents.bytes, &identity, &facts);
  if (code == ERROR_FILE_NOT_FOUND) return JobStatus::kFinished;
  if (code == 0) {
    size_t error_at = 0;
    code = control::DecodeControlFile(reinterpret_cast<const uint8_t*>(job.contents.bytes.data()),
                                      job.contents.bytes.size(), &job.contents.items, &error_at);
    if (code == ERR_CONTROL_FILE) facts.problem = "malformed at byte " + std::to_string(error_at);
  }
  Poster poster;
  if (code == 0 && IdentifyPoster(facts.owner, &poster) != 0) {
    code = ERR_CONTROL_FILE;
    facts.problem = "owned by a uid that is no account";
  }
  if (code == ERR_CONTROL_FILE) return SetAsideUnusable(queue, name, facts, log);
  if (code != 0) {
    log.Report(EVT_FILE_READ, queue + name, "", code);
    return JobStatus::kFailed;
  }
  identity.creation_time = job.contents.items.creation_time;
  if ((code = OpenJournal(job, queue, identity)) != 0) {
    if (code == ERROR_SHARING_VIOLATION) return JobStatus::kBusy;
    log.Report(EVT_FILE_OPEN, queue + JournalName(name), "", code);
    return JobStatus::kFailed;
  }
  if (SettlePostings(job) != 0) return JobStatus::kFailed;

  job.info = ReadMessageInfo(job.contents.header());
  open->refused = RefusedForItsSender(job, poster);
  open->posted = FromFileTime(job.contents.items.creation_time);
  job.message = BuildDeliveredMessage(settings.node, now, open->posted, job.info.has_date, job.contents.header(),
                                      job.contents.text());
  open->remote = std::make_unique<RemoteDelivery>(job, TimeoutsFor(settings));
  return std::nullopt;
}

// Serves each recipient not yet done, this node's own deliveries going into `batch`.
void Serve(OpenJob& open, LocalBatch& batch, const std::atomic<bool>& stop) {
  Job& job = *open.job;
  for (size_t i = 0; i < job.contents.items.addresses.size() && !open.refused; ++i) {
    if (job.state.StepOf(i) == Step::kDone) continue;
    if (stop.load()) {
      open.stopped = true;
      return;
    }
    const std::string& address = job.contents.items.addresses[i].text;
    const Recipient r = ClassifyRecipient(address, job.settings.node);
    std::optional<RecipientResult> result;
    switch (r.kind) {
      case RecipientKind::kInvalid:
        result = ReportBack(job, i, StatusText(r.code), false);
        break;
      case RecipientKind::kLocal:
        result = PrepareLocalRecipient(job, i, r.user, batch);
        break;
      case RecipientKind::kRemote:
      case RecipientKind::kExternal:
        result = open.remote->Plan(i, r);
        break;
    }
    if (result) open.Take(i, *result);
    if (open.aborted) return;
  }
}

// Mail for other nodes, the retry limit, the error report: the job's status, with the
// control file deleted when the job is finished (its journal is the caller's to remove).
JobStatus Complete(OpenJob& open, const std::atomic<bool>& stop, std::time_t now) {
  Job& job = *open.job;
  if (open.aborted) return JobStatus::kFailed;
  // Mail for other nodes goes after this node's own, one link per node.
  if (!open.stopped && !open.refused) {
    std::vector<RemoteDelivery::Sent> sent;
    open.stopped = !open.remote->Send(stop, &sent);
    for (RemoteDelivery::Sent& s : sent) open.Take(s.index, s.result);
    if (open.aborted) return JobStatus::kFailed;
  }
  bool pending = open.stopped;
  if (!open.deferred.empty() && !open.stopped) {
    const double age_ms = std::difftime(now, open.posted) * 1000.0;
    if (age_ms < static_cast<double>(job.settings.system.SenderRetryLimit)) {
      pending = true;
    } else {
      for (const auto& [index, reason] : open.deferred) {
        ReportBack(job, index, reason + "\r\nThe service has stopped trying to deliver the message.", true);
      }
    }
  }
  // The failures met so far are reported even when a stop cut the attempt short.
  const JobStatus reported = ReportFailures(job);
  if (reported == JobStatus::kFailed) return reported;
  if (open.stopped) return JobStatus::kStopped;
  if (pending || reported == JobStatus::kPending) return JobStatus::kPending;
  const std::string path = std::string(job.settings.system.MailQueuePath) + job.name;
  if (!platform::DeleteFile(path.c_str()) && platform::GetLastError() != ERROR_FILE_NOT_FOUND) {
    job.log.Report(EVT_FILE_DELETE, path, "", platform::GetLastError());
    return JobStatus::kFailed;
  }
  return JobStatus::kFinished;
}

}  // namespace

std::vector<JobStatus> RunControlJobs(const ServiceSettings& settings, const EventLog& log,
                                      const std::vector<std::string>& names, const std::atomic<bool>& stop,
                                      std::time_t now) {
  const std::string queue = settings.system.MailQueuePath;
  std::vector<OpenJob> jobs(names.size());
  std::map<const Job*, OpenJob*> open_of;
  LocalBatch batch(queue);
  size_t bytes = 0;
  for (size_t i = 0; i < names.size(); ++i) {
    if (bytes >= kBatchBytes) {
      jobs.resize(i);  // the rest for the next call
      break;
    }
    OpenJob& open = jobs[i];
    const std::string& name = names[i];
    open.job.reset(new Job{settings, log, name, name.substr(0, name.rfind('.')), {}, {}, {}, {}, {}, false, {}});
    if (stop.load()) {
      open.status = JobStatus::kStopped;
      continue;
    }
    open.status = Open(*open.job, now, &open);
    if (open.status) continue;
    open_of[open.job.get()] = &open;
    bytes += open.job->contents.bytes.size() + open.job->message.bytes.size();
    Serve(open, batch, stop);
  }

  batch.Run(stop);
  std::vector<JobState*> written;
  std::vector<OpenJob*> writers;
  for (LocalDelivery& d : batch.deliveries()) {
    OpenJob& open = *open_of.at(d.job);
    if (d.stopped) {
      open.stopped = true;
      continue;
    }
    RecipientResult r = FinishLocalRecipient(d);
    if (r.outcome == Outcome::kServed) {
      written.push_back(&d.job->state);
      writers.push_back(&open);
    }
    open.Take(d.index, r);
  }
  // Every "done" on disk before any control file goes.
  if (const uint32_t code = JobState::FlushJournals(queue, written)) {
    log.Report(EVT_FILE_WRITE, queue, "", code);
    for (OpenJob* open : writers) open->aborted = true;
  }

  std::vector<JobStatus> statuses;
  bool deleted_any = false;
  for (OpenJob& open : jobs) {
    if (!open.status) open.status = Complete(open, stop, now);
    deleted_any = deleted_any || (open.status == JobStatus::kFinished && open.job->state.IsOpen());
    statuses.push_back(*open.status);
  }
  // The control files must be gone for good before their journals go, or a crash could
  // leave a file without the record of what was done with it.
  if (deleted_any) platform::FlushDirectory(queue.c_str());
  for (OpenJob& open : jobs) {
    if (open.status == JobStatus::kFinished && open.job->state.IsOpen()) open.job->state.Remove();
  }
  return statuses;
}

JobStatus RunControlJob(const ServiceSettings& settings, const EventLog& log, const std::string& name,
                        const std::atomic<bool>& stop, std::time_t now) {
  return RunControlJobs(settings, log, {name}, stop, now).front();
}

}  // namespace pellam::service
