// The seam between NSP and the routing layer. Routing hands NSP every data packet
// addressed to this node (with the RTS flag when a packet of ours came back as
// undeliverable); NSP sends through this port. Neither side owns the other: the node
// object that holds both wires them together, and tests put a fake in either place.
#pragma once

#include <cstddef>

#include "core/bytes.h"
#include "decnet/address.h"

namespace decnet {

class RoutingPort {
 public:
  virtual ~RoutingPort() = default;
  // Sends one NSP message to `destination`; `return_to_sender` sets RQR so that a
  // router hands back what it cannot deliver. Returns false when there is no
  // adjacency to send on (the caller treats it as a lost packet and retransmits).
  virtual bool SendNsp(NodeAddress destination, ByteSpan nsp_message, bool return_to_sender) = 0;
  virtual NodeAddress LocalAddress() const = 0;
  // The largest NSP message the circuit carries (block size less the routing header).
  virtual size_t MaxNspMessage() const = 0;
};

// What routing calls on the layer above.
class NspReceiver {
 public:
  virtual ~NspReceiver() = default;
  // `returned`: the packet is one of ours that came back with RTS set.
  virtual void OnNspMessage(NodeAddress source, ByteSpan nsp_message, bool returned) = 0;
};

}  // namespace decnet
