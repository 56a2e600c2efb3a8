// Segmentation, flow control and acknowledgement bookkeeping of the data subchannel.
#include "nsp/data_transmitter.h"

#include "nsp/seq.h"

namespace decnet {

void DataTransmitter::Queue(std::shared_ptr<const Bytes> message, size_t segment_size) {
  size_t size = message->size();
  size_t offset = 0;
  do {
    size_t length = std::min(segment_size, size - offset);
    TxSegment s;
    s.message = message;
    s.offset = static_cast<uint32_t>(offset);
    s.length = static_cast<uint32_t>(length);
    s.seq = next_seq_;
    s.bom = offset == 0;
    s.eom = offset + length == size;
    next_seq_ = SeqAdd(next_seq_, 1);
    queue_.push_back(std::move(s));
    offset += length;
  } while (offset < size);
}

TxSegment* DataTransmitter::NextNew() {
  if (sent_ >= queue_.size() || sent_ >= window_ || !xon_) return nullptr;
  // Numbers beyond half the circle from the oldest unacknowledged one could not be
  // told apart from old ones by the peer.
  if (sent_ >= 2047) return nullptr;
  switch (mode_) {
    case FlowMode::kNone: break;
    case FlowMode::kSegment:
      if (segment_credit_ <= 0) return nullptr;
      break;
    case FlowMode::kMessage:
      if (message_credit_ <= 0) return nullptr;
      break;
  }
  return &queue_[sent_];
}

void DataTransmitter::MarkSent(TimePoint now) {
  TxSegment& s = queue_[sent_++];
  s.first_sent = now;
  if (mode_ == FlowMode::kSegment) --segment_credit_;
  if (mode_ == FlowMode::kMessage && s.eom) --message_credit_;
}

AckOutcome DataTransmitter::Ack(uint16_t number, TimePoint now) {
  AckOutcome out;
  if (sent_ == 0) return out;
  int count = SeqDiff(number, queue_.front().seq) + 1;
  if (count <= 0 || static_cast<size_t>(count) > sent_) return out;
  for (int i = 0; i < count; ++i) {
    TxSegment& s = queue_.front();
    if (i == count - 1 && !s.retransmitted) out.round_trip = now - s.first_sent;
    if (s.eom) {
      ++out.messages;
      out.message_bytes += s.message->size();
    }
    queue_.pop_front();
  }
  sent_ -= static_cast<size_t>(count);
  out.segments = static_cast<size_t>(count);
  return out;
}

bool DataTransmitter::ApplyLinkService(uint8_t fcmod, int8_t fcval) {
  switch (mode_) {
    case FlowMode::kNone:
      break;  // the count means nothing without credits; XON/XOFF still applies
    case FlowMode::kSegment: {
      int next = segment_credit_ + fcval;
      if (next < -128 || next > 127) return false;
      segment_credit_ = next;
      break;
    }
    case FlowMode::kMessage: {
      int next = message_credit_ + fcval;
      if (fcval < 0 || next > 127) return false;
      message_credit_ = next;
      break;
    }
  }
  if (fcmod == kXoff) xon_ = false;
  if (fcmod == kXon) xon_ = true;
  return true;
}

void DataTransmitter::Clear() {
  queue_.clear();
  sent_ = 0;
}

}  // namespace decnet
