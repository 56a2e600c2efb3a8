// A local recipient, step by step. A step already recorded is never repeated: a job
// resumed after a crash goes on with the step after the last one in its journal.
#include "local_recipient.h"

#include "auto_reply.h"
#include "frame/status.h"
#include "journaled_post.h"
#include "local_delivery.h"
#include "local_batch.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "profile_lookup.h"
#include "user_process.h"

namespace pellam::service {
namespace {

RecipientResult DeliveryFailed(Job& job, const std::string& user, uint32_t code) {
  job.log.Report(EVT_DELIVERY_FAILED, user, job.name, code);
  return Deferred(StatusText(EVT_DELIVERY_FAILED, user, job.name) + "\r\n" + StatusText(code, user, job.settings.node));
}

// A profile that cannot be read is its user's problem alone: the event names the hive,
// and the recipient waits for a later pass while the others are served.
RecipientResult ProfileFailed(Job& job, const std::string& user, const platform::Account& account, uint32_t code) {
  job.log.Report(EVT_FILE_OPEN, platform::UserHivePath(account.uid), "", code);
  job.log.Report(EVT_DELIVERY_FAILED, user, job.name, code);
  return Deferred(StatusText(EVT_DELIVERY_FAILED, user, job.name) + "\r\n" + StatusText(code, user, job.settings.node));
}

// Queues a copy to the user's Forward address: the delivered message, Received line
// and all, so that the hops add up and a forwarding loop ends at MaximumHops. It is
// composed as ForwardMail composes it (one address taken literally, the message's own
// header section), but posted through the journal so that a kill cannot double it.
RecipientResult Forward(Job& job, size_t index, const MailProfile& profile) {
  if (job.info.hops + 1 > job.settings.system.MaximumHops) {
    return ReportBack(job, index, StatusText(ERR_HOP_COUNT), false);
  }
  const std::string_view delivered = job.message.bytes;
  const PreparedMail copy{profile.Forward, std::string(delivered.substr(0, job.message.header_length)),
                          delivered.substr(job.message.header_length)};
  const PostResult posted = PostForRecipients(job, {index}, copy);
  if (posted.journal_failed) return Aborted();
  const uint32_t code = posted.code;
  // A Forward address the library refuses (bad syntax, a list where one address
  // belongs) will not improve with time: the sender hears of it now.
  const bool refused = IsLibraryCode(code) && code != ERR_NO_PARAMETERS && code != ERR_BAD_PARAMETERS;
  if (refused) {
    return ReportBack(job, index, StatusText(EVT_FORWARD_FAILED, "", job.name) + "\r\n" + StatusText(code), false);
  }
  if (code != 0) {
    job.log.Report(EVT_FORWARD_FAILED, "", job.name, code);
    return Deferred(StatusText(EVT_FORWARD_FAILED, "", job.name) + "\r\n" + StatusText(code));
  }
  return RecordDone(job, index);
}

}  // namespace

std::optional<RecipientResult> PrepareLocalRecipient(Job& job, size_t index, const std::string& user,
                                                     LocalBatch& batch) {
  const LookedUp& found = batch.LookUp(user);
  const Step step = job.state.StepOf(index);
  if (step == Step::kNone) {
    const Refusal refusal = RefusalFor(found.code, found.profile, user, job.settings.node);
    if (refusal.code != 0) return ReportBack(job, index, refusal.text, false);
    if (found.code == 0 && found.profile.Forward[0] != '\0') return Forward(job, index, found.profile);
  }
  // A delivery under way is finished whatever the profile says now.
  if (found.code == ERR_NO_SUCH_USER) return DeliveryFailed(job, user, found.code);
  if (found.code != 0) return ProfileFailed(job, user, found.account, found.code);
  LocalDelivery delivery;
  delivery.job = &job;
  delivery.index = index;
  delivery.user = user;
  delivery.looked_up = &found;
  delivery.staged = StagedPath(found.profile, job.base, index);
  delivery.step = step;
  batch.Add(std::move(delivery));
  return std::nullopt;
}

RecipientResult FinishLocalRecipient(const LocalDelivery& delivery) {
  Job& job = *delivery.job;
  if (delivery.journal_failed) return Aborted();
  if (delivery.code != 0) return DeliveryFailed(job, delivery.user, delivery.code);
  const platform::Account& account = delivery.looked_up->account;
  const MailProfile& profile = delivery.looked_up->profile;
  uint32_t code = 0;
  bool journal_failed = false;
  bool posting = false;
  const auto post = [&](const PreparedMail& mail) {
    posting = true;
    const PostResult posted = PostForRecipients(job, {delivery.index}, mail);
    journal_failed = journal_failed || posted.journal_failed;
    return posted.code;
  };
  const AutoReplyRequest reply{account, profile, job.info.sender, job.info.subject, job.info.automatic};
  if (SendAutoReply(reply, post, &code) == ReplyResult::kFailed) {
    if (journal_failed) return Aborted();
    // The child deciding on the reply ran out of time or was stopped: the message is
    // delivered, and the reply is decided again on a later pass.
    if (!posting && (code == ERROR_TIMEOUT || code == ERROR_OPERATION_ABORTED)) {
      return DeliveryFailed(job, delivery.user, code);
    }
    job.log.Report(EVT_AUTO_REPLY_FAILED, job.info.sender, profile.AccountName, code);
  }
  // Flushed with the other jobs' lines before any control file goes.
  if (const uint32_t failed = job.state.Write({delivery.index}, Step::kDone)) {
    job.log.Report(EVT_FILE_WRITE, JournalName(job.name), "", failed);
    return Aborted();
  }
  return Served();
}

}  // namespace pellam::service
