// The sending half of the data subchannel: messages cut into segments, the segments
// in flight, and the flow control the peer asked for (none, segment or message
// credits, XON/XOFF) together with our own window. It only keeps the books; the
// connection encodes, sends and times. Sent segments are always a prefix of the queue.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>

#include "core/bytes.h"
#include "core/clock.h"
#include "nsp/packets.h"

namespace decnet {

struct TxSegment {
  std::shared_ptr<const Bytes> message;  // shared by all segments of one message
  uint32_t offset = 0, length = 0;
  uint16_t seq = 0;
  bool bom = false, eom = false;
  bool retransmitted = false;  // its round trip no longer measures anything
  TimePoint first_sent{};
  ByteSpan payload() const { return ByteSpan(*message).subspan(offset, length); }
};

struct AckOutcome {
  size_t segments = 0;      // newly acknowledged
  size_t messages = 0;      // whole messages now acknowledged (EOM segments)
  size_t message_bytes = 0; // their sizes, for the sender's queue limit
  std::optional<Duration> round_trip;  // from a segment sent only once
};

class DataTransmitter {
 public:
  explicit DataTransmitter(size_t window) : window_(window ? window : 1) {}

  // The mode the peer chose for the data it receives (its CI or CC).
  void SetFlowMode(FlowMode mode) { mode_ = mode; }
  FlowMode flow_mode() const { return mode_; }

  // Appends one message (possibly empty: one empty segment with BOM and EOM).
  void Queue(std::shared_ptr<const Bytes> message, size_t segment_size);

  // The oldest segment not yet sent, if window and flow control let it go now.
  TxSegment* NextNew();
  void MarkSent(TimePoint now);  // the segment NextNew gave has been sent

  // Acknowledges every sent segment up to and including `number`; numbers outside
  // what is in flight are ignored (duplicates, or a confused peer).
  AckOutcome Ack(uint16_t number, TimePoint now);

  // A data request from the peer's link service message. False when it would take
  // the request count out of its range or the mode does not allow it.
  bool ApplyLinkService(uint8_t fcmod, int8_t fcval);

  size_t in_flight() const { return sent_; }
  bool idle() const { return queue_.empty(); }  // everything sent and acknowledged
  bool xon() const { return xon_; }
  int credit() const { return mode_ == FlowMode::kSegment ? segment_credit_ : message_credit_; }
  std::deque<TxSegment>& segments() { return queue_; }
  void Clear();

 private:
  size_t window_;
  FlowMode mode_ = FlowMode::kNone;
  bool xon_ = true;
  int segment_credit_ = 0, message_credit_ = 0;
  uint16_t next_seq_ = 1;
  size_t sent_ = 0;  // queue_[0 .. sent_) are in flight
  std::deque<TxSegment> queue_;
};

}  // namespace decnet
