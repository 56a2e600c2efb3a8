// The receiving end of MAIL-11: the connect-time answer to a pending connect, and the
// conversation over a confirmed link. The caller decides who may receive and stores
// the text; this side only guarantees that nothing is handed over for final delivery
// unless the whole record sequence arrived well formed, and that each final status
// goes back only after the caller's delivery for that recipient has returned.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "decnet/endpoint.h"
#include "mail11/options.h"
#include "mail11/records.h"

namespace pellam::mail11 {

// Confirms `pending` with the preset option answer, or rejects it (reason 0, the
// object's own refusal) when its data is no option block we can speak. `link` is
// null on a reject; `answer` says why and which modes were refused.
struct AcceptedConnect {
  std::unique_ptr<decnet::Link> link;
  ConnectAnswer answer;
};
AcceptedConnect AnswerConnect(decnet::PendingConnect& pending);

// Turns a connect away when every receiving link is in use (ERR_RECEIVER_BUSY's
// meaning): a resources reject, which a sender takes as "try again later".
void RejectBusy(decnet::PendingConnect& pending);

// What is known of the message before its text: the trimmed sender name, the
// recipients accepted so far (as the peer wrote them), and the header lines.
struct Envelope {
  std::string sender;
  std::vector<std::string> recipients;  // accepted only, in the order received
  std::string to, cc, subject;
};

struct ReceiverCallbacks {
  // Accept (condition odd, usually kSuccessCondition) or refuse a recipient with a
  // condition and its text. Called once per recipient record, as it arrives.
  std::function<Status(const Envelope&, std::string_view recipient)> check;
  // The header is complete; the text follows. False: the message cannot be stored.
  std::function<bool(const Envelope&)> begin_text;
  // One body line, in order. False: the message cannot be stored; the link is
  // dropped so that the sender keeps the message and tries again later.
  std::function<bool(std::string_view line)> body_line;
  // Final delivery of the whole message to accepted recipient `index`; must have
  // made the message safe on disk before it returns a success.
  std::function<Status(const Envelope&, size_t index)> deliver;
};

// More recipient records than this in one message is taken for garbage, so that a
// peer cannot grow our memory without end.
inline constexpr size_t kMaxRecipientRecords = 4096;

struct ReceiveResult {
  bool complete = false;       // the whole sequence arrived and final delivery ran
  size_t delivered = 0;        // recipients whose final delivery succeeded
  size_t answered = 0;         // final statuses the peer was sent
  decnet::LinkError link_error = decnet::LinkError::kNone;  // when the link failed
  bool protocol_error = false; // the peer broke the record sequence (for EVT_PROTOCOL_ERROR)
  std::string reason;          // why the conversation ended early, for the log
};

// Runs one conversation on `link`; every wait for the peer is bounded by `timeout`.
ReceiveResult ReceiveMessage(decnet::Link& link, const Terms& terms, const ReceiverCallbacks& callbacks,
                             std::chrono::milliseconds timeout);

}  // namespace pellam::mail11
