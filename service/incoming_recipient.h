// Whether this node takes a recipient record of an incoming MAIL-11 message, decided
// as the record arrives: a local user who may receive mail, or an address for another
// node or the external network that this node relays while the hop limit allows.
// Refusals carry the catalogue's text and a failure condition for the peer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "job.h"
#include "mail11/records.h"

namespace pellam::service {

enum class IncomingKind { kRefused, kLocal, kRelay };

struct IncomingRecipient {
  IncomingKind kind = IncomingKind::kRefused;
  std::string target;     // kLocal: the user name; kRelay: the address to queue for
  mail11::Status status;  // kRefused: why; otherwise success
};

// `hops`: the nodes the message has passed so far (RouteHops of its From route, plus
// Received lines once the text is known).
IncomingRecipient CheckIncomingRecipient(const ServiceSettings& settings, std::string_view recipient,
                                         uint32_t hops);

// One more hop is allowed while the total stays within MaximumHops.
bool HopLimitAllows(uint32_t hops, const MailSystemProfile& system);

// A failure for the peer: the catalogue code as its condition, with bit 0 cleared
// because VMS reads that bit as success, and `text` as its one text record.
mail11::Status RefuseWith(uint32_t code, const std::string& text);

}  // namespace pellam::service
