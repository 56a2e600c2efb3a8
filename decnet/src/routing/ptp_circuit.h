// The point-to-point circuit of an end node. When the link comes up it sends a
// Routing Init as an end node and waits one hello time for the neighbour's Init
// (and its Verify, when we ask for one); then the adjacency runs, a Hello goes out
// every hello time, and any packet from the neighbour restarts the listen timer of
// 2.1 times the neighbour's hello time. A start-up that fails or a listen timer
// that runs out restarts the link, so the neighbour starts again too.
#pragma once

#include <optional>
#include <string>

#include "routing/circuit.h"

namespace decnet {

struct PtpSettings {
  NodeAddress self;
  Duration hello_timer = seconds(60);
  uint16_t block_size = 576;
  Bytes verification;                         // sent when the neighbour asks for it
  std::optional<Bytes> required_verification;  // when set, we ask and insist on it
};

class PtpCircuit final : public Circuit {
 public:
  enum class State { kLinkDown, kWaitInit, kWaitVerify, kRunning };

  PtpCircuit(DataLink& link, NspReceiver& receiver, PtpSettings settings);

  // LinkObserver
  void OnLinkUp(TimePoint now) override;
  void OnLinkDown(TimePoint now) override;
  void OnPacket(ByteSpan packet, const MacAddress& source, TimePoint now) override;
  void OnMalformedFrame() override { ++counters_.malformed; }

  bool SendData(NodeAddress destination, ByteSpan nsp_message, bool return_to_sender) override;
  bool adjacency_up() const override { return state_ == State::kRunning; }
  size_t max_nsp_message() const override;
  std::optional<TimePoint> NextDeadline() const override;
  void Tick(TimePoint now) override;
  CircuitStatus Status() const override;

  State state() const { return state_; }
  NodeAddress neighbour() const { return neighbour_; }

 private:
  void SendInit();
  void OnInit(ByteSpan packet, TimePoint now);
  void Run(TimePoint now);
  void Fail(TimePoint now);           // start-up failed or the listen timer ran out
  void AdjacencyDown();
  void Alive(TimePoint now);

  PtpSettings settings_;
  State state_ = State::kLinkDown;
  NodeAddress neighbour_;
  NodeType neighbour_type_ = NodeType::kEndNode;
  uint16_t neighbour_block_size_ = 0;
  Duration listen_time_{};
  std::optional<TimePoint> start_deadline_;  // waiting for Init or Verify
  std::optional<TimePoint> next_hello_, listen_deadline_;
};

}  // namespace decnet
