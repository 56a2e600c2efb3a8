// One NSP logical link: the connect, confirm, reject and disconnect states, the data
// and other-data subchannels with their acks, flow control and retransmission, and
// the link's timers. Network thread only. Every method takes "now" and none reads a
// clock; the owning Nsp asks NextDeadline() when Tick should run again.
// Its code is spread over connection.cc (states), connection_data.cc (subchannels)
// and connection_timers.cc (timers and round trips).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "core/bytes.h"
#include "core/clock.h"
#include "decnet/address.h"
#include "nsp/data_transmitter.h"
#include "nsp/nsp_types.h"
#include "nsp/other_transmitter.h"
#include "nsp/packets.h"
#include "nsp/receiver.h"

namespace decnet {

class Nsp;

class Connection {
 public:
  enum class State {
    kConnectInit,       // CI sent, nothing heard yet
    kConnectDelivered,  // the peer's NSP acknowledged our CI
    kConnectReceived,   // a CI came in; waiting for our user
    kConnectConfirm,    // CC sent; waiting for the peer to acknowledge it
    kRun,
    kDisconnectInit,    // DI sent; waiting for DC
    kClosed,
  };

  Connection(Nsp& nsp, uint16_t local_address, NodeAddress remote_node);
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // --- started by Nsp ---
  void StartOutgoing(ByteSpan session_data, TimePoint now);
  void StartIncoming(const NspMessage& ci, TimePoint now);
  void Receive(const NspMessage& m, TimePoint now);
  void Returned(TimePoint now);  // our CI came back: no route

  // --- requests from session control ---
  void Accept(ByteSpan data_ctl, TimePoint now);               // CR only
  void Reject(uint16_t reason, ByteSpan data, TimePoint now);  // CR only
  // Orderly: data already queued is delivered first. In CI/CD there is nobody to
  // tell yet, so the link is simply forgotten (a late CC is answered "no link").
  void Disconnect(uint16_t reason, ByteSpan data, TimePoint now);
  void Abort(uint16_t reason, ByteSpan data, TimePoint now);
  // RUN or CC (queued until RUN). False in any other state.
  bool SendMessage(std::shared_ptr<const Bytes> message, TimePoint now);
  // False without an interrupt credit, beyond 16 bytes, or when not running.
  bool SendInterrupt(ByteSpan data, TimePoint now);
  // Our reader is behind: stop the peer (XOFF, or no further credits). `drop`: the
  // buffer is full, so new data segments are discarded unacknowledged.
  void SetReceiveBusy(bool busy, bool drop, TimePoint now);
  void GrantInterrupt(TimePoint now);  // lets the peer send one more interrupt

  void Tick(TimePoint now);
  std::optional<TimePoint> NextDeadline() const { return deadline_; }

  State state() const { return state_; }
  uint16_t local_address() const { return local_; }
  uint16_t remote_address() const { return remote_; }
  NodeAddress remote_node() const { return node_; }
  size_t segment_size() const { return segment_size_; }
  FlowMode send_flow() const { return data_tx_.flow_mode(); }
  int interrupt_credit() const { return other_tx_.interrupt_credit(); }
  size_t unacknowledged_segments() const { return data_tx_.in_flight(); }
  Duration round_trip() const { return round_trip_; }
  uint64_t user_tag = 0;  // session control's own reference

 private:
  friend class Nsp;
  // connection.cc
  void SetRemote(const NspMessage& m);
  void SendControl(uint8_t flags, TimePoint now);  // CI, CC, DI: retransmitted until answered
  void SendDisconnectConfirm(uint16_t reason);
  void SendConnectAck();
  void EnterRun(TimePoint now);
  void StartDisconnect(uint16_t reason, ByteSpan data, TimePoint now);
  void Close(CloseKind kind, uint16_t reason, ByteSpan data);
  void ReceiveRunning(const NspMessage& m, TimePoint now);

  // connection_data.cc
  void ProcessAcks(const NspMessage& m, bool data_subchannel, TimePoint now);
  void AckData(AckField field, TimePoint now);
  void AckOther(AckField field, TimePoint now);
  void ReceiveData(const NspMessage& m, TimePoint now);
  void TakeSegment(uint8_t flags, ByteSpan data, bool dly, TimePoint now);
  void ReceiveOther(const NspMessage& m, TimePoint now);
  void TakeOther(const NspMessage& m, TimePoint now);
  void Pump(TimePoint now);
  void SendSegment(TxSegment& s);
  void SendOther(OtherItem& item);
  void SendAck(bool data_subchannel, AckQualifier qualifier);
  void SetAcks(NspMessage& m, bool data_subchannel);
  void GrantCredits(bool force);

  // connection_timers.cc
  Duration AckTimeout() const;
  void Measured(Duration sample);
  void RetransmitData(bool all, TimePoint now);
  void RetransmitOther(TimePoint now);
  void UpdateDeadline();
  void Touch(TimePoint now);  // something arrived: the link is alive

  Nsp& nsp_;
  uint16_t local_;
  uint16_t remote_ = 0;
  NodeAddress node_;
  State state_ = State::kConnectInit;
  bool phase4_ = true;          // cross-subchannel acks and delayed acks allowed
  size_t segment_size_;
  Duration round_trip_;

  DataTransmitter data_tx_;
  OtherTransmitter other_tx_;
  Receiver data_rx_;
  Receiver other_rx_;
  Bytes assembly_;              // the message being reassembled
  bool assembling_ = false;
  int credits_out_ = 0;         // segments or messages we granted and the peer has not used
  bool receive_busy_ = false, receive_drop_ = false;

  // The control message (CI, CC or DI) awaiting its answer.
  struct Control {
    uint8_t flags = 0;
    Bytes data;                 // CI session data, or CC/DI data-ctl
    uint16_t reason = 0;
    std::optional<TimePoint> retransmit_at;
    int tries = 0;
  } control_;
  std::optional<std::pair<uint16_t, Bytes>> pending_disconnect_;  // waits for data to drain

  std::optional<TimePoint> data_timer_, other_timer_;
  int data_timeouts_ = 0, other_timeouts_ = 0;
  std::optional<TimePoint> connect_deadline_;   // CI, CD, CR
  std::optional<TimePoint> inactivity_at_;      // RUN
  std::optional<TimePoint> deadline_;           // the earliest of all of them
};

}  // namespace decnet
