// The receiving half of one subchannel: which number comes next, segments that
// arrived early (kept, at most a fixed number, so a gap costs one retransmission and
// not the whole window), and when an acknowledgement is owed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>

#include "core/bytes.h"
#include "core/clock.h"

namespace decnet {

struct EarlySegment {
  uint8_t flags = 0;  // the msgflg byte (BOM, EOM)
  Bytes data;
};

class Receiver {
 public:
  explicit Receiver(size_t early_limit) : early_limit_(early_limit) {}

  enum class Arrival { kNext, kDuplicate, kEarly, kTooEarly };
  Arrival Classify(uint16_t seq) const;
  void Accept();  // the next segment has been taken in
  uint16_t acknum() const { return acknum_; }

  // Keeps a segment that came before its turn; false when there is no room.
  bool StoreEarly(uint16_t seq, uint8_t flags, ByteSpan data);
  // The kept segment that is now next, if any.
  std::optional<EarlySegment> TakeNext();
  size_t early_count() const { return early_.size(); }

  // Acknowledgement owed no later than `when` (the earliest request wins).
  void OweAck(TimePoint when);
  bool ack_owed() const { return ack_due_.has_value(); }
  std::optional<TimePoint> ack_due() const { return ack_due_; }
  void AckSent() { ack_due_.reset(); }
  // True once per gap: a NAK for the same number again would only add traffic.
  bool FirstNakFor();

  void Clear() { early_.clear(); ack_due_.reset(); }

 private:
  size_t early_limit_;
  uint16_t acknum_ = 0;
  std::optional<uint16_t> naked_;
  std::optional<TimePoint> ack_due_;
  std::map<uint16_t, EarlySegment> early_;
};

}  // namespace decnet
