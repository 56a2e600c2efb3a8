// What NSP is told (its settings), what it tells the layer above (events) and what
// it counts. Kept apart from the classes so that connection.h and nsp.h need not
// include each other.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/bytes.h"
#include "core/clock.h"
#include "nsp/packets.h"

namespace decnet {

class Connection;

struct NspSettings {
  size_t max_links = 256;
  size_t segment_size = 563;         // the largest data segment we accept
  size_t send_window = 32;           // data segments in flight at once
  size_t early_limit = 32;           // out-of-order segments kept per link
  FlowMode receive_flow = FlowMode::kNone;  // what we ask peers to use toward us
  int receive_credits = 32;          // segments or messages granted at a time (credit modes)
  size_t max_message = 1 << 20;      // a longer message being reassembled aborts the link
  Duration initial_round_trip = seconds(2);
  Duration min_round_trip = seconds(1);  // the estimate is kept within these
  Duration max_round_trip = seconds(5);
  int delay_factor = 2;              // ack timeout = estimate * factor
  int delay_weight = 3;              // running average: new = old + (sample - old) / (weight + 1)
  int retransmit_limit = 5;          // timeouts without progress, then unreachable
  Duration ack_holdoff = milliseconds(100);  // longest wait for an ack the peer lets us delay
  Duration connect_timeout = seconds(30);
  Duration inactivity = seconds(300);
  uint16_t first_address = 0;        // our link addresses count up from here; 0 = random start
};

enum class CloseKind {
  kRejected,      // the peer rejected our connect (reason, data)
  kNoResources,   // the peer (or its NSP) had no room
  kDisconnected,  // the peer disconnected a running link (reason, data)
  kUnreachable,   // returned CI, or retransmissions ran out
  kTimeout,       // connect not answered in time (ours or our user's)
  kLocal,         // we ended it (disconnect or reject completed, abort)
};

// Upcalls from NSP to session control. Called on the network thread only, from inside
// Nsp's entry points; the callee may call back into Nsp and its connections.
class NspEvents {
 public:
  virtual ~NspEvents() = default;
  // A new connection in state CR; accept or reject it through the connection.
  virtual void OnConnectInitiate(Connection& c, ByteSpan session_data) = 0;
  virtual void OnAccepted(Connection& c, ByteSpan data_ctl) = 0;
  virtual void OnData(Connection& c, Bytes&& message) = 0;
  // True to grant the peer another interrupt at once; otherwise session control
  // grants it later through Connection::GrantInterrupt, when its reader catches up.
  virtual bool OnInterrupt(Connection& c, ByteSpan data) = 0;
  // The peer granted more interrupts.
  virtual void OnInterruptCredit(Connection&) {}
  // Whole messages acknowledged by the peer (their sizes summed).
  virtual void OnSendProgress(Connection& c, size_t messages, size_t bytes) = 0;
  // Exactly once per connection, as it closes; the connection is gone afterwards.
  virtual void OnClosed(Connection& c, CloseKind kind, uint16_t reason, ByteSpan data) = 0;
};

struct NspCounters {
  uint64_t malformed = 0;
  uint64_t connects_sent = 0, connects_received = 0, connects_refused = 0;
  uint64_t retransmissions = 0;
  uint64_t messages_sent = 0, messages_received = 0;
};

}  // namespace decnet
