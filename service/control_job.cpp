// The job: a control file from the queue, its recipients in order, and the journal
// that lets a restarted service go on where the last one stopped.
#include "control_job.h"

#include "error_report.h"
#include "local_recipient.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "queue_file.h"
#include "recipient.h"

namespace pellam::service {
namespace {

constexpr char kNoTransport[] =
    "This service has no mail-11 transport to other nodes yet; the message stays queued and is tried again later.";

RecipientResult NoTransport(Job& job, const std::string& node) {
  job.log.Write(EVT_CONNECT_FAILED, node, "", kNoTransport);
  return Deferred(StatusText(EVT_CONNECT_FAILED, node) + "\r\nThere is no mail-11 transport to other nodes.");
}

RecipientResult ServeRecipient(Job& job, size_t index) {
  const std::string& address = job.contents.items.addresses[index].text;
  const Recipient r = ClassifyRecipient(address, job.settings.node);
  switch (r.kind) {
    case RecipientKind::kInvalid:
      return ReportBack(job, index, StatusText(r.code), false);
    case RecipientKind::kLocal:
      return ServeLocalRecipient(job, index, r.user);
    case RecipientKind::kRemote:
      return NoTransport(job, r.node);
    case RecipientKind::kExternal:
      if (job.settings.system.ExternalGateway[0] == '\0') {
        job.log.Report(EVT_CONNECT_FAILED, r.node, "", ERR_NO_GATEWAY);
        return Deferred(StatusText(ERR_NO_GATEWAY));
      }
      return NoTransport(job, job.settings.system.ExternalGateway);
  }
  return Deferred(StatusText(ERR_SERVICE_INTERNAL));
}

JobStatus SetAsideUnusable(const std::string& queue, const std::string& name, const EventLog& log) {
  std::string aside;
  if (const uint32_t code = SetAside(queue, name, &aside)) {
    log.Report(EVT_FILE_DELETE, queue + name, "", code);
    return JobStatus::kFailed;
  }
  log.Write(EVT_PARSE, queue + name, "", StatusText(ERR_CONTROL_FILE) + " The file is set aside as " + aside + ".");
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
  if (job.info.sender.empty() || job.info.automatic) {
    job.log.Write(EVT_ERROR_REPORT_FAILED, "", "",
                  job.info.automatic ? "The message is automatic mail, which is never answered."
                                     : "The message names no sender.");
    return RecordDone(job, index);
  }
  Undeliverable failure{job.info.sender, address, reason, job.info.subject, job.contents.header(),
                        job.contents.text()};
  if (const uint32_t code = PostErrorReport(failure)) {
    job.log.Report(EVT_ERROR_REPORT_FAILED, "", "", code);
    if (!final) return Deferred(reason);
  }
  return RecordDone(job, index);
}

JobStatus RunControlJob(const ServiceSettings& settings, const EventLog& log, const std::string& name,
                        const std::atomic<bool>& stop, std::time_t now) {
  const std::string queue = settings.system.MailQueuePath;
  Job job{settings, log, name, name.substr(0, name.rfind('.')), {}, {}, {}, {}};
  JobIdentity identity;
  uint32_t code = ReadQueueFile(queue + name, &job.contents.bytes, &identity);
  if (code == ERROR_FILE_NOT_FOUND) return JobStatus::kFinished;
  if (code == 0) {
    code = control::DecodeControlFile(reinterpret_cast<const uint8_t*>(job.contents.bytes.data()),
                                      job.contents.bytes.size(), &job.contents.items);
    if (code == 0 && job.contents.items.addresses.empty()) code = ERR_CONTROL_FILE;
  }
  if (code == ERR_CONTROL_FILE) return SetAsideUnusable(queue, name, log);
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

  job.info = ReadMessageInfo(job.contents.header());
  const std::time_t posted = FromFileTime(job.contents.items.creation_time);
  job.message = BuildDeliveredMessage(settings.node, now, posted, job.info.has_date, job.contents.header(),
                                      job.contents.text());
  std::vector<std::pair<size_t, std::string>> deferred;
  for (size_t i = 0; i < job.contents.items.addresses.size(); ++i) {
    if (job.state.StepOf(i) == Step::kDone) continue;
    if (stop.load()) return JobStatus::kStopped;
    RecipientResult r = ServeRecipient(job, i);
    if (r.outcome == Outcome::kAborted) return JobStatus::kFailed;
    if (r.outcome == Outcome::kDeferred) deferred.emplace_back(i, std::move(r.reason));
  }
  if (!deferred.empty()) {
    const double age_ms = std::difftime(now, posted) * 1000.0;
    if (age_ms < static_cast<double>(settings.system.SenderRetryLimit)) return JobStatus::kPending;
    for (const auto& [index, reason] : deferred) {
      if (stop.load()) return JobStatus::kStopped;
      const std::string given_up = reason + "\r\nThe service has stopped trying to deliver the message.";
      if (ReportBack(job, index, given_up, true).outcome == Outcome::kAborted) return JobStatus::kFailed;
    }
  }
  return Finish(job, queue);
}

}  // namespace pellam::service
