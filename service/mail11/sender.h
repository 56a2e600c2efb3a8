// The sending end of MAIL-11 over a link that is already connected and whose option
// answer has been checked. One message per link; every recipient comes back with one
// result: delivered, refused by the peer (final, with its text), or deferred because
// the link failed, so that the caller's retry schedule takes it up again.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "decnet/endpoint.h"
#include "mail11/options.h"
#include "mail11/records.h"

namespace pellam::mail11 {

// Fills `line` with the next body line (without its line end) and says whether
// there was one; kFailed when the text could not be read, which abandons the
// transfer before the peer can take a partial message for a whole one.
enum class NextLine { kLine, kEnd, kFailed };
using BodySource = std::function<NextLine(std::string& line)>;

struct OutgoingMessage {
  std::string sender;                   // the sender's user name, no node
  std::vector<std::string> recipients;  // each the part after the receiving node's "::"
  std::string to, cc, subject;          // cc goes only when the terms have it
  BodySource body;
};

struct RecipientResult {
  enum class Kind { kDelivered, kRefused, kDeferred };
  Kind kind = Kind::kDeferred;
  Status status;  // kRefused: the peer's condition and text as it came
  // kDeferred: what went wrong; kNone with `protocol_error` for a peer that broke
  // the record sequence, kNone alone when the body source failed.
  decnet::LinkError link_error = decnet::LinkError::kNone;
  bool protocol_error = false;
};

struct SendTimeouts {
  std::chrono::milliseconds send{60000};     // each record, while flow control holds it
  std::chrono::milliseconds receive{60000};  // each status record from the peer
};

// Speaks the whole sequence on `link` and disconnects it (normally after the final
// statuses, by abort after any failure). Returns one result per recipient, in order.
std::vector<RecipientResult> SendMessage(decnet::Link& link, const Terms& terms, const OutgoingMessage& message,
                                         const SendTimeouts& timeouts);

}  // namespace pellam::mail11
