// The sending conversation. A recipient is delivered only on the peer's final
// success and refused only on a status it sent; anything else leaves it deferred,
// which at worst sends it twice and never loses it.
#include "mail11/sender.h"

namespace pellam::mail11 {
namespace {

class Conversation {
 public:
  Conversation(decnet::Link& link, const OutgoingMessage& message, const SendTimeouts& timeouts)
      : link_(link), message_(message), timeouts_(timeouts), results_(message.recipients.size()) {}

  std::vector<RecipientResult> Run(const Terms& terms) {
    if (!Send(EncodeSenderName(message_.sender))) return Abandon();
    std::vector<size_t> accepted;
    for (size_t i = 0; i < message_.recipients.size(); ++i) {
      Status status;
      if (!Send(ToRecord(message_.recipients[i])) || !ReadStatus(status)) return Abandon();
      if (status.success()) {
        accepted.push_back(i);
      } else {
        Refuse(i, status);
      }
    }
    if (accepted.empty()) {
      link_.Disconnect();
      return results_;
    }
    if (!Send(EndMarker()) || !Send(ToRecord(message_.to))) return Abandon();
    if (terms.cc && !Send(ToRecord(message_.cc))) return Abandon();
    if (!Send(ToRecord(message_.subject))) return Abandon();
    std::string line;
    for (;;) {
      const NextLine next = message_.body(line);
      if (next == NextLine::kEnd) break;
      if (next == NextLine::kFailed) return Abandon();
      if (!Send(EncodeBodyLine(line))) return Abandon();
    }
    if (!Send(EndMarker())) return Abandon();
    for (size_t i : accepted) {
      Status status;
      if (!ReadStatus(status)) return Abandon();
      if (status.success()) {
        results_[i].kind = RecipientResult::Kind::kDelivered;
        results_[i].status = status;
      } else {
        Refuse(i, status);
      }
    }
    link_.Disconnect();
    return results_;
  }

 private:
  bool Send(const decnet::Message& record) {
    const decnet::Outcome outcome = link_.Send(record, timeouts_.send);
    if (!outcome) link_error_ = outcome.error;
    return bool(outcome);
  }

  bool ReadStatus(Status& status) {
    StatusReader reader;
    for (;;) {
      decnet::Message record;
      const decnet::Outcome outcome = link_.Receive(record, timeouts_.receive);
      if (!outcome) {
        link_error_ = outcome.error;
        return false;
      }
      switch (reader.Feed(record)) {
        case StatusReader::State::kNeedMore:
          continue;
        case StatusReader::State::kDone:
          status = reader.status();
          return true;
        case StatusReader::State::kBad:
          protocol_error_ = true;
          return false;
      }
    }
  }

  void Refuse(size_t i, const Status& status) {
    results_[i].kind = RecipientResult::Kind::kRefused;
    results_[i].status = status;
  }

  // Every recipient without a final status from the peer stays deferred; the link
  // is dropped so that the peer cannot take what it has for a whole message.
  std::vector<RecipientResult> Abandon() {
    for (RecipientResult& result : results_) {
      if (result.kind != RecipientResult::Kind::kDeferred) continue;
      result.link_error = link_error_;
      result.protocol_error = protocol_error_;
    }
    link_.Abort();
    return results_;
  }

  decnet::Link& link_;
  const OutgoingMessage& message_;
  const SendTimeouts& timeouts_;
  std::vector<RecipientResult> results_;
  decnet::LinkError link_error_ = decnet::LinkError::kNone;
  bool protocol_error_ = false;
};

}  // namespace

std::vector<RecipientResult> SendMessage(decnet::Link& link, const Terms& terms, const OutgoingMessage& message,
                                         const SendTimeouts& timeouts) {
  return Conversation(link, message, timeouts).Run(terms);
}

}  // namespace pellam::mail11
