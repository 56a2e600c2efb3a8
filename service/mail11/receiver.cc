// The receiving conversation, step by step in the order the sender speaks. Any failure
// before the end of the message abandons it whole: the sender still holds it and
// will try again, so nothing half received is ever handed on.
#include "mail11/receiver.h"

namespace pellam::mail11 {
namespace {

class Conversation {
 public:
  Conversation(decnet::Link& link, const ReceiverCallbacks& callbacks, std::chrono::milliseconds timeout)
      : link_(link), callbacks_(callbacks), timeout_(timeout) {}

  ReceiveResult Run(const Terms& terms) {
    decnet::Message record;
    if (!Next(record, "the sender's name")) return Abandon();
    envelope_.sender = DecodeSenderName(record);
    for (size_t count = 0;; ++count) {
      if (!Next(record, "a recipient")) return Abandon();
      if (IsEndMarker(record)) break;
      if (count == kMaxRecipientRecords) {
        result_.protocol_error = true;
        return Fail("the sender sent too many recipients");
      }
      const std::string recipient = FromRecord(record);
      const Status verdict = callbacks_.check(envelope_, recipient);
      if (verdict.success()) envelope_.recipients.push_back(recipient);
      if (!Answer(verdict)) return Abandon();
    }
    if (!Next(record, "the To line")) return Abandon();
    envelope_.to = FromRecord(record);
    if (terms.cc) {
      if (!Next(record, "the CC line")) return Abandon();
      envelope_.cc = FromRecord(record);
    }
    if (!Next(record, "the subject")) return Abandon();
    envelope_.subject = FromRecord(record);
    if (!callbacks_.begin_text(envelope_)) return Fail("the message could not be stored");
    for (;;) {
      if (!Next(record, "the text")) return Abandon();
      if (IsEndMarker(record)) break;
      const std::string_view line(reinterpret_cast<const char*>(record.data()), record.size());
      if (!callbacks_.body_line(line)) return Fail("the message could not be stored");
    }
    result_.complete = true;
    for (size_t i = 0; i < envelope_.recipients.size(); ++i) {
      const Status final = callbacks_.deliver(envelope_, i);
      if (final.success()) ++result_.delivered;
      // A peer gone now gets no more deliveries: it will send those recipients
      // again, and each one delivered here would then arrive twice.
      if (!Answer(final)) return result_;
      ++result_.answered;
    }
    // The sender disconnects once it has its statuses; wait for that briefly, so
    // that our own disconnect cannot overtake the last status.
    record.clear();
    link_.Receive(record, timeout_);
    link_.Disconnect();
    return result_;
  }

 private:
  bool Next(decnet::Message& record, const char* what) {
    const decnet::Outcome outcome = link_.Receive(record, timeout_);
    if (outcome) return true;
    result_.link_error = outcome.error;
    result_.reason = std::string(outcome.error == decnet::LinkError::kTimeout ? "the sender went silent"
                                                                              : "the link failed") +
                     " while waiting for " + what;
    return false;
  }

  bool Answer(const Status& status) {
    for (const decnet::Message& record : EncodeStatus(status)) {
      const decnet::Outcome outcome = link_.Send(record, timeout_);
      if (!outcome) {
        result_.link_error = outcome.error;
        result_.reason = "the link failed while sending a status";
        return false;
      }
    }
    return true;
  }

  ReceiveResult Fail(const char* reason) {
    result_.reason = reason;
    return Abandon();
  }

  ReceiveResult Abandon() {
    link_.Abort();
    return result_;
  }

  decnet::Link& link_;
  const ReceiverCallbacks& callbacks_;
  std::chrono::milliseconds timeout_;
  Envelope envelope_;
  ReceiveResult result_;
};

}  // namespace

AcceptedConnect AnswerConnect(decnet::PendingConnect& pending) {
  AcceptedConnect accepted;
  accepted.answer = AnswerProposal(pending.user_data());
  if (accepted.answer.confirm) {
    accepted.link = pending.Confirm(accepted.answer.accept_data);
  } else {
    pending.Reject(decnet::kReasonNormal);
  }
  return accepted;
}

void RejectBusy(decnet::PendingConnect& pending) { pending.Reject(decnet::kReasonResources); }

ReceiveResult ReceiveMessage(decnet::Link& link, const Terms& terms, const ReceiverCallbacks& callbacks,
                             std::chrono::milliseconds timeout) {
  return Conversation(link, callbacks, timeout).Run(terms);
}

}  // namespace pellam::mail11
