// A local recipient, step by step. A step already recorded is never repeated: a job
// resumed after a crash goes on with the step after the last one in its journal.
#include "local_recipient.h"

#include "auto_reply.h"
#include "journaled_post.h"
#include "local_delivery.h"
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
  const bool refused = ((code >> 16) & 0xFFF) == 0x100 && code != ERR_NO_PARAMETERS && code != ERR_BAD_PARAMETERS;
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

RecipientResult ServeLocalRecipient(Job& job, size_t index, const std::string& user) {
  MailProfile profile{};
  platform::Account account;
  const uint32_t looked_up = LookUpProfile(user, &account, &profile);
  Step step = job.state.StepOf(index);
  if (step == Step::kNone) {
    const Refusal refusal = RefusalFor(looked_up, profile, user, job.settings.node);
    if (refusal.code != 0) return ReportBack(job, index, refusal.text, false);
    if (looked_up == 0 && profile.Forward[0] != '\0') return Forward(job, index, profile);
  }
  // A delivery under way is finished whatever the profile says now.
  if (looked_up == ERR_NO_SUCH_USER) return DeliveryFailed(job, user, looked_up);
  if (looked_up != 0) return ProfileFailed(job, user, account, looked_up);
  const std::string staged = StagedPath(profile, job.base, index);
  if (step == Step::kNone) {
    if (const uint32_t code = StageMessage(account, profile, staged, job.message.bytes)) {
      return DeliveryFailed(job, user, code);
    }
    if (job.state.Record(index, Step::kStaged) != 0) return Aborted();
    step = Step::kStaged;
  }
  if (step == Step::kStaged) {
    if (const uint32_t code = PlaceStaged(account, profile, staged)) return DeliveryFailed(job, user, code);
    if (job.state.Record(index, Step::kDelivered) != 0) return Aborted();
  }
  uint32_t code = 0;
  bool journal_failed = false;
  bool posting = false;
  const auto post = [&](const PreparedMail& mail) {
    posting = true;
    const PostResult posted = PostForRecipients(job, {index}, mail);
    journal_failed = journal_failed || posted.journal_failed;
    return posted.code;
  };
  const AutoReplyRequest reply{account, profile, job.info.sender, job.info.subject, job.info.automatic};
  if (SendAutoReply(reply, post, &code) == ReplyResult::kFailed) {
    if (journal_failed) return Aborted();
    // The child deciding on the reply ran out of time or was stopped: the message is
    // delivered, and the reply is decided again on a later pass.
    if (!posting && (code == ERROR_TIMEOUT || code == ERROR_OPERATION_ABORTED)) return DeliveryFailed(job, user, code);
    job.log.Report(EVT_AUTO_REPLY_FAILED, job.info.sender, profile.AccountName, code);
  }
  return RecordDone(job, index);
}

}  // namespace pellam::service
