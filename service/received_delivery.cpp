// Delivery of a received message. A local delivery that cannot be made now (a hive
// locked, a child out of time, a full disk in the user's home) does not fail the
// message: it is queued for that user instead, where the queue's delivery tries again
// and reports back to the sender if it never succeeds. A MAIL-11 failure would be
// final for the sender, and a dropped link would send the others again too.
#include "received_delivery.h"

#include <sys/stat.h>

#include "auto_reply.h"
#include "generated_mail.h"
#include "local_delivery.h"
#include "pellam.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "profile_lookup.h"

namespace pellam::service {
namespace {

// The message's text on its own, for a control file: the open file from the end of
// the header section on.
PreparedMail Queued(const ReceivedMessage& message, const std::string& to, const std::string& header) {
  PreparedMail mail{to, header, {}};
  mail.text_file = message.file();
  return mail;
}

uint32_t PostFromMessage(const ReceivedMessage& message, PreparedMail mail) {
  if (!platform::SetFilePointer(message.file(), static_cast<int64_t>(message.header().size()), platform::kBegin)) {
    return platform::GetLastError();
  }
  return PostPrepared(mail);
}

uint32_t Hops(const ReceivedMessage& message) {
  return RouteHops(message.fields().route) + message.received_lines();
}

// Queues the message for a later local delivery; the queue adds its own Received line.
mail11::Status QueueForUser(const ServiceSettings& settings, const EventLog& log, const ReceivedMessage& message,
                            const std::string& user, uint32_t why) {
  log.Report(EVT_DELIVERY_FAILED, user, message.path(), why);
  // Stopped by the service's own stop: the conversation ends unanswered, and the
  // sender, which keeps the message, sends it again.
  if (why == ERROR_OPERATION_ABORTED) return RefuseWith(why, StatusText(why));
  const uint32_t code = PostFromMessage(message, Queued(message, user, HeaderFields(message.fields())));
  if (code == 0) return {};
  log.Report(EVT_FORWARD_FAILED, "", message.path(), code);
  return RefuseWith(EVT_DELIVERY_FAILED, StatusText(EVT_DELIVERY_FAILED, user, message.path()) + " " +
                                             StatusText(code, user, settings.node));
}

mail11::Status Forward(const ServiceSettings& settings, const EventLog& log, const ReceivedMessage& message,
                       const MailProfile& profile) {
  if (!HopLimitAllows(Hops(message), settings.system)) return RefuseWith(ERR_HOP_COUNT, StatusText(ERR_HOP_COUNT));
  // The copy keeps the Received line, so that a forwarding loop ends at MaximumHops.
  const uint32_t code = PostFromMessage(message, Queued(message, profile.Forward, message.header()));
  if (code == 0) return {};
  log.Report(EVT_FORWARD_FAILED, "", message.path(), code);
  return RefuseWith(EVT_FORWARD_FAILED, StatusText(EVT_FORWARD_FAILED, "", message.path()) + " " + StatusText(code));
}

mail11::Status DeliverLocally(const ServiceSettings& settings, const EventLog& log, const ReceivedMessage& message,
                              const std::string& user) {
  MailProfile profile{};
  platform::Account account;
  const uint32_t looked_up = LookUpProfile(user, &account, &profile);
  const Refusal refusal = RefusalFor(looked_up, profile, user, settings.node);
  if (refusal.code != 0) return RefuseWith(refusal.code, refusal.text);
  if (looked_up != 0) return QueueForUser(settings, log, message, user, looked_up);
  if (profile.Forward[0] != '\0') return Forward(settings, log, message, profile);
  // The temporary file's own name is unique among the service's messages.
  std::string base = message.path().substr(message.path().rfind('/') + 1);
  base = base.substr(0, base.rfind('.'));
  const std::string staged = StagedPath(profile, base, 0);
  if (const uint32_t code = StageMessageFile(account, profile, staged, message.file())) {
    return QueueForUser(settings, log, message, user, code);
  }
  if (const uint32_t code = PlaceStaged(account, profile, staged)) {
    DiscardStaged(account, staged);
    return QueueForUser(settings, log, message, user, code);
  }
  const AutoReplyRequest reply{account, profile, message.fields().route, message.fields().subject,
                               message.automatic()};
  uint32_t code = 0;
  if (SendAutoReply(reply, [](const PreparedMail& mail) { return PostPrepared(mail); }, &code) ==
      ReplyResult::kFailed) {
    log.Report(EVT_AUTO_REPLY_FAILED, message.fields().route, profile.AccountName, code);
  }
  return {};
}

mail11::Status Relay(const ServiceSettings& settings, const EventLog& log, const ReceivedMessage& message,
                     const std::string& address) {
  if (!HopLimitAllows(Hops(message), settings.system)) return RefuseWith(ERR_HOP_COUNT, StatusText(ERR_HOP_COUNT));
  const std::string header = HeaderFields(message.fields(), settings.node + "::");
  const uint32_t code = PostFromMessage(message, Queued(message, address, header));
  if (code == 0) return {};
  log.Report(EVT_FORWARD_FAILED, "", message.path(), code);
  return RefuseWith(EVT_FORWARD_FAILED, StatusText(EVT_FORWARD_FAILED, "", message.path()) + " " + StatusText(code));
}

}  // namespace

mail11::Status DeliverReceived(const ServiceSettings& settings, const EventLog& log, const ReceivedMessage& message,
                               const IncomingRecipient& recipient) {
  switch (recipient.kind) {
    case IncomingKind::kLocal:
      return DeliverLocally(settings, log, message, recipient.target);
    case IncomingKind::kRelay:
      return Relay(settings, log, message, recipient.target);
    case IncomingKind::kRefused:
      break;
  }
  return recipient.status;
}

}  // namespace pellam::service
