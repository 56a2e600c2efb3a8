// The sending half of the other-data subchannel: interrupts and link service
// messages share its numbers and go one at a time, each waiting for its ack, as the
// strictest peers expect. Interrupts need a credit from the peer (one to begin with).
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <optional>

#include "core/bytes.h"
#include "core/clock.h"
#include "nsp/packets.h"

namespace decnet {

struct OtherItem {
  bool interrupt = false;
  uint8_t lsflags = 0;   // link service
  int8_t fcval = 0;
  std::array<uint8_t, kMaxDataCtl> data{};  // interrupt data
  uint8_t length = 0;
  uint16_t seq = 0;
  bool sent = false, retransmitted = false;
  TimePoint first_sent{};
  ByteSpan payload() const { return ByteSpan(data.data(), length); }
};

class OtherTransmitter {
 public:
  // False when the peer has not granted an interrupt or the data exceeds 16 bytes.
  bool QueueInterrupt(ByteSpan data);
  // Requests from us to the peer. An unsent request of the same kind absorbs this one.
  void QueueLinkService(uint8_t fcmod, LinkServiceKind kind, int8_t fcval);

  OtherItem* NextNew();  // the head, when it has not been sent yet
  OtherItem* InFlight();  // the head, when it has been sent
  void MarkSent(TimePoint now);
  // True when it acknowledged the item in flight; `round_trip` set when measurable.
  bool Ack(uint16_t number, TimePoint now, std::optional<Duration>* round_trip);

  // An interrupt request from the peer; false for a count out of range.
  bool AddInterruptCredit(int8_t fcval);
  int interrupt_credit() const { return interrupt_credit_; }
  bool idle() const { return queue_.empty(); }
  void Clear() { queue_.clear(); }

 private:
  uint16_t next_seq_ = 1;
  int interrupt_credit_ = 1;
  std::deque<OtherItem> queue_;
};

}  // namespace decnet
