// Receive-side sequencing of one subchannel.
#include "nsp/receiver.h"

#include "nsp/seq.h"

namespace decnet {

Receiver::Arrival Receiver::Classify(uint16_t seq) const {
  int d = SeqDiff(seq, SeqAdd(acknum_, 1));
  if (d < 0) return Arrival::kDuplicate;
  if (d == 0) return Arrival::kNext;
  return static_cast<size_t>(d) <= early_limit_ ? Arrival::kEarly : Arrival::kTooEarly;
}

void Receiver::Accept() {
  acknum_ = SeqAdd(acknum_, 1);
  early_.erase(acknum_);
}

bool Receiver::StoreEarly(uint16_t seq, uint8_t flags, ByteSpan data) {
  if (early_.size() >= early_limit_ || early_.count(seq)) return false;
  early_.emplace(seq, EarlySegment{flags, Bytes(data.begin(), data.end())});
  return true;
}

std::optional<EarlySegment> Receiver::TakeNext() {
  auto it = early_.find(SeqAdd(acknum_, 1));
  if (it == early_.end()) return std::nullopt;
  EarlySegment s = std::move(it->second);
  early_.erase(it);
  return s;
}

void Receiver::OweAck(TimePoint when) {
  if (!ack_due_ || when < *ack_due_) ack_due_ = when;
}

bool Receiver::FirstNakFor() {
  if (naked_ == acknum_) return false;
  naked_ = acknum_;
  return true;
}

}  // namespace decnet
