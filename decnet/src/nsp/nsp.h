// NSP for one node: the port table (connections by our link address and by the
// peer's node and link address), the dispatcher that maps each arriving message onto
// a connection or answers for a port that does not exist, the connection limit, and
// the earliest deadline over all links. Network thread only.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "core/bytes.h"
#include "core/clock.h"
#include "nsp/connection.h"
#include "nsp/nsp_types.h"
#include "nsp/routing_port.h"

namespace decnet {

class Nsp {
 public:
  Nsp(RoutingPort& routing, NspEvents& events, NspSettings settings);
  ~Nsp();

  // A message from routing. `returned`: one of ours came back (RTS).
  void Receive(NodeAddress source, ByteSpan wire, bool returned, TimePoint now);
  // A new outgoing link; nullptr at the connection limit. It may come back already
  // closed (kUnreachable reported) when routing has no adjacency.
  Connection* Connect(NodeAddress node, ByteSpan session_data, TimePoint now);
  // nullptr when there is no such link or it has closed.
  Connection* Find(uint16_t local_address);
  void Tick(TimePoint now);
  std::optional<TimePoint> NextDeadline() const;
  // Delivers messages a link sent to this node itself and forgets closed links. Run
  // after every entry point; the entry points above do it themselves.
  void Settle(TimePoint now);
  // Aborts every link (one DI each, not retransmitted) and closes them all.
  void AbortAll(uint16_t reason);

  size_t size() const { return ports_.size(); }
  const NspCounters& counters() const { return counters_; }

  // --- for connections ---
  // False when routing has no adjacency to send it on.
  bool Transmit(NodeAddress to, const NspMessage& m, bool return_to_sender);
  const NspSettings& settings() const { return settings_; }
  NspEvents& events() { return events_; }
  NspCounters& mutable_counters() { return counters_; }
  size_t max_nsp_message() const;

 private:
  void Dispatch(NodeAddress source, const NspMessage& m, bool returned, TimePoint now);
  void Reply(NodeAddress to, uint16_t dst, uint16_t src, uint16_t reason);
  uint16_t NewAddress();
  void Forget(Connection& c);

  RoutingPort& routing_;
  NspEvents& events_;
  NspSettings settings_;
  NspCounters counters_;
  std::unordered_map<uint16_t, std::unique_ptr<Connection>> ports_;
  std::map<std::pair<uint16_t, uint16_t>, uint16_t> by_remote_;  // (node, remote addr) -> local
  uint16_t next_address_;
  Bytes scratch_;                          // encode buffer, reused
  std::deque<Bytes> loopback_;             // messages to this node itself
  std::vector<Connection*> due_;           // reused by Tick
  bool settling_ = false;
};

}  // namespace decnet
