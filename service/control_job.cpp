// The job: a control file from the queue, its recipients in order, and the journal
// that lets a restarted service go on where the last one stopped.
#include "control_job.h"

#include <optional>

#include "error_report.h"
#include "journaled_post.h"
#include "local_recipient.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "poster.h"
#include "queue_file.h"
#include "recipient.h"
#include "remote_delivery.h"

namespace pellam::service {
namespace {

// Serves a recipient on this node, or settles one for elsewhere that cannot go out
// now; nothing when it waits for its node's link.
std::optional<RecipientResult> ServeRecipient(Job& job, size_t index, RemoteDelivery& remote) {
  const std::string& address = job.contents.items.addresses[index].text;
  const Recipient r = ClassifyRecipient(address, job.settings.node);
  switch (r.kind) {
    case RecipientKind::kInvalid:
      return ReportBack(job, index, StatusText(r.code), false);
    case RecipientKind::kLocal:
      return ServeLocalRecipient(job, index, r.user);
    case RecipientKind::kRemote:
    case RecipientKind::kExternal:
      return remote.Plan(index, r);
  }
  return Deferred(StatusText(ERR_SERVICE_INTERNAL));
}

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

JobStatus Finish(Job& job, const std::string& queue) {
  const std::string path = queue + job.name;
  if (!platform::DeleteFile(path.c_str()) && platform::GetLastError() != ERROR_FILE_NOT_FOUND) {
    job.log.Report(EVT_FILE_DELETE, path, "", platform::GetLastError());
    return JobStatus::kFailed;
  }
  // The control file must be gone for good before its journal goes, or a crash could
  // leave the file without the record of what was done with it.
  platform::FlushDirectory(queue.c_str());
  job.state.Remove();
  return JobStatus::kFinished;
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

}  // namespace

JobStatus RunControlJob(const ServiceSettings& settings, const EventLog& log, const std::string& name,
                        const std::atomic<bool>& stop, std::time_t now) {
  const std::string queue = settings.system.MailQueuePath;
  Job job{settings, log, name, name.substr(0, name.rfind('.')), {}, {}, {}, {}, {}, false, {}};
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
  const bool refused = RefusedForItsSender(job, poster);
  const std::time_t posted = FromFileTime(job.contents.items.creation_time);
  job.message = BuildDeliveredMessage(settings.node, now, posted, job.info.has_date, job.contents.header(),
                                      job.contents.text());
  std::vector<std::pair<size_t, std::string>> deferred;
  bool stopped = false;
  bool aborted = false;
  const auto take = [&](size_t index, RecipientResult& r) {
    if (r.outcome == Outcome::kAborted) aborted = true;
    if (r.outcome == Outcome::kDeferred) deferred.emplace_back(index, std::move(r.reason));
  };
  RemoteDelivery remote(job, TimeoutsFor(settings));
  for (size_t i = 0; i < job.contents.items.addresses.size() && !refused; ++i) {
    if (job.state.StepOf(i) == Step::kDone) continue;
    if (stop.load()) {
      stopped = true;
      break;
    }
    std::optional<RecipientResult> r = ServeRecipient(job, i, remote);
    if (r) take(i, *r);
    if (aborted) return JobStatus::kFailed;
  }
  // Mail for other nodes goes after this node's own, one link per node.
  if (!stopped && !refused) {
    std::vector<RemoteDelivery::Sent> sent;
    stopped = !remote.Send(stop, &sent);
    for (RemoteDelivery::Sent& s : sent) take(s.index, s.result);
    if (aborted) return JobStatus::kFailed;
  }
  bool pending = stopped;
  if (!deferred.empty() && !stopped) {
    const double age_ms = std::difftime(now, posted) * 1000.0;
    if (age_ms < static_cast<double>(settings.system.SenderRetryLimit)) {
      pending = true;
    } else {
      for (const auto& [index, reason] : deferred) {
        ReportBack(job, index, reason + "\r\nThe service has stopped trying to deliver the message.", true);
      }
    }
  }
  // The failures met so far are reported even when a stop cut the attempt short.
  const JobStatus reported = ReportFailures(job);
  if (reported == JobStatus::kFailed) return reported;
  if (stopped) return JobStatus::kStopped;
  if (pending || reported == JobStatus::kPending) return JobStatus::kPending;
  return Finish(job, queue);
}

}  // namespace pellam::service
