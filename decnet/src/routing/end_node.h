// The routing layer of the end node: one circuit over one data link, the point-to-point
// or the LAN kind as the link is. It is the RoutingPort that NSP sends through, and it
// hands NSP messages for this node to the receiver set with SetReceiver (until one is
// set they are dropped). Network thread only.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "routing/circuit.h"
#include "routing/lan_circuit.h"
#include "routing/ptp_circuit.h"

namespace decnet {

struct EndNodeSettings {
  NodeAddress self;
  Duration hello_timer{0};  // 0: 60 s on point-to-point, 10 s on a LAN
  Bytes verification;       // point-to-point: sent when the neighbour asks
};

class EndNode final : public RoutingPort, public NspReceiver {
 public:
  EndNode(DataLink& link, EndNodeSettings settings);

  void SetReceiver(NspReceiver* receiver) { receiver_ = receiver; }
  bool Start(TimePoint now, std::string* error);
  void Stop();

  // RoutingPort
  bool SendNsp(NodeAddress destination, ByteSpan nsp_message, bool return_to_sender) override;
  NodeAddress LocalAddress() const override { return settings_.self; }
  size_t MaxNspMessage() const override { return circuit_->max_nsp_message(); }

  std::optional<TimePoint> NextDeadline() const;
  void Tick(TimePoint now);
  CircuitStatus Status() const { return circuit_->Status(); }
  const RoutingCounters& counters() const { return circuit_->counters(); }
  Circuit& circuit() { return *circuit_; }

  // What the circuit hands up; forwarded to the receiver.
  void OnNspMessage(NodeAddress source, ByteSpan nsp_message, bool returned) override;

 private:

  DataLink& link_;
  EndNodeSettings settings_;
  NspReceiver* receiver_ = nullptr;
  std::unique_ptr<Circuit> circuit_;
};

}  // namespace decnet
