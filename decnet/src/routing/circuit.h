// A routing circuit of the end node: the point-to-point or the LAN variant, each a
// state machine over one data link. The end node sends NSP through it and it hands
// NSP messages for this node up to the NspReceiver. All calls come from the network
// thread; time is always passed in.
#pragma once

#include <cstdint>
#include <optional>

#include "core/bytes.h"
#include "core/clock.h"
#include "decnet/node.h"
#include "link/data_link.h"
#include "nsp/routing_port.h"
#include "routing/packets.h"

namespace decnet {

// The routing layer's share of the node's counters.
struct RoutingCounters {
  uint64_t packets_sent = 0, packets_received = 0;
  uint64_t bytes_sent = 0, bytes_received = 0;
  uint64_t malformed = 0;        // undecodable, dropped
  uint64_t not_for_us = 0;       // data for another node (an end node never forwards)
  uint64_t returned = 0;         // our packets that came back with RTS
  uint64_t adjacency_ups = 0, adjacency_downs = 0;
  uint64_t init_failures = 0;    // point-to-point start-ups that went wrong
};

class Circuit : public LinkObserver {
 public:
  // Sends one NSP message behind the circuit's data header. False when there is
  // nobody to send it to (no adjacency on a point-to-point circuit) or the link
  // refused it.
  virtual bool SendData(NodeAddress destination, ByteSpan nsp_message, bool return_to_sender) = 0;
  virtual bool adjacency_up() const = 0;
  virtual size_t max_nsp_message() const = 0;
  virtual std::optional<TimePoint> NextDeadline() const = 0;
  virtual void Tick(TimePoint now) = 0;
  virtual CircuitStatus Status() const = 0;
  const RoutingCounters& counters() const { return counters_; }

 protected:
  Circuit(NodeAddress self, DataLink& link, NspReceiver& receiver) : self_(self), link_(link), receiver_(receiver) {}

  // Sends a routing packet on the link, counting it.
  bool Transmit(ByteSpan packet, const MacAddress& destination);
  // Hands a data packet for this node to NSP; a packet for another node is counted
  // and dropped. False (and counted) when it was not decodable; `header_out` gets the
  // decoded header otherwise.
  bool DeliverData(ByteSpan packet, DataHeader* header_out);
  void CountReceived(ByteSpan packet) {
    ++counters_.packets_received;
    counters_.bytes_received += packet.size();
  }

  NodeAddress self_;
  DataLink& link_;
  NspReceiver& receiver_;
  RoutingCounters counters_;
  Bytes out_;  // the packet being built, its capacity reused
};

// How "show circuit" names a neighbour's node type.
const char* NodeTypeText(NodeType type);

}  // namespace decnet
