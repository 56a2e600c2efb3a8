// One-at-a-time sending of interrupts and link service messages.
#include "nsp/other_transmitter.h"

#include <algorithm>

#include "nsp/seq.h"

namespace decnet {

bool OtherTransmitter::QueueInterrupt(ByteSpan data) {
  if (data.size() > kMaxDataCtl || interrupt_credit_ <= 0) return false;
  --interrupt_credit_;
  OtherItem item;
  item.interrupt = true;
  std::copy(data.begin(), data.end(), item.data.begin());
  item.length = static_cast<uint8_t>(data.size());
  item.seq = next_seq_;
  next_seq_ = SeqAdd(next_seq_, 1);
  queue_.push_back(item);
  return true;
}

void OtherTransmitter::QueueLinkService(uint8_t fcmod, LinkServiceKind kind, int8_t fcval) {
  uint8_t flags = static_cast<uint8_t>(fcmod | (kind << 2));
  for (OtherItem& item : queue_) {
    if (!item.sent && !item.interrupt && ((item.lsflags >> 2) & 3) == kind) {
      int sum = std::clamp(item.fcval + fcval, -128, 127);
      item.fcval = static_cast<int8_t>(sum);
      if (fcmod != kNoChange) item.lsflags = flags;
      return;
    }
  }
  OtherItem item;
  item.lsflags = flags;
  item.fcval = fcval;
  item.seq = next_seq_;
  next_seq_ = SeqAdd(next_seq_, 1);
  queue_.push_back(item);
}

OtherItem* OtherTransmitter::NextNew() {
  return !queue_.empty() && !queue_.front().sent ? &queue_.front() : nullptr;
}

OtherItem* OtherTransmitter::InFlight() {
  return !queue_.empty() && queue_.front().sent ? &queue_.front() : nullptr;
}

void OtherTransmitter::MarkSent(TimePoint now) {
  queue_.front().sent = true;
  queue_.front().first_sent = now;
}

bool OtherTransmitter::Ack(uint16_t number, TimePoint now, std::optional<Duration>* round_trip) {
  OtherItem* item = InFlight();
  if (!item || SeqDiff(number, item->seq) < 0) return false;
  // Only the one in flight can be acknowledged; a number beyond it is bogus.
  if (number != item->seq) return false;
  if (!item->retransmitted) *round_trip = now - item->first_sent;
  queue_.pop_front();
  return true;
}

bool OtherTransmitter::AddInterruptCredit(int8_t fcval) {
  int next = interrupt_credit_ + fcval;
  if (fcval < 0 || next > 127) return false;
  interrupt_credit_ = next;
  return true;
}

}  // namespace decnet
