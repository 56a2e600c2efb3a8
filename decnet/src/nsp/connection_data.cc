// The two subchannels of a running link: acks in and out (piggybacked, cross-
// subchannel, NAK on a gap), data reassembly from BOM to EOM, interrupts, link
// service requests, and pumping queued segments out as flow control allows.
#include "nsp/connection.h"
#include "nsp/nsp.h"

namespace decnet {

void Connection::ProcessAcks(const NspMessage& m, bool data_subchannel, TimePoint now) {
  for (AckField field : {m.ack1, m.ack2}) {
    if (!field.present()) continue;
    if (data_subchannel != field.cross()) AckData(field, now);
    else AckOther(field, now);
    if (state_ != State::kRun) return;
  }
}

void Connection::AckData(AckField field, TimePoint now) {
  AckOutcome out = data_tx_.Ack(field.number(), now);
  if (out.segments) {
    data_timeouts_ = 0;
    if (out.round_trip) Measured(*out.round_trip);
    data_timer_.reset();
    if (data_tx_.in_flight()) data_timer_ = now + AckTimeout();
    if (out.messages) nsp_.events().OnSendProgress(*this, out.messages, out.message_bytes);
    if (state_ != State::kRun) return;
  }
  // A NAK names the last segment that arrived in order: the next one went missing.
  if (field.nak() && data_tx_.in_flight()) RetransmitData(false, now);
  if (pending_disconnect_ && data_tx_.idle()) {
    auto [reason, data] = std::move(*pending_disconnect_);
    StartDisconnect(reason, data, now);
    return;
  }
  Pump(now);
}

void Connection::AckOther(AckField field, TimePoint now) {
  std::optional<Duration> round_trip;
  if (other_tx_.Ack(field.number(), now, &round_trip)) {
    other_timeouts_ = 0;
    other_timer_.reset();
    if (round_trip) Measured(*round_trip);
  } else if (field.nak() && other_tx_.InFlight()) {
    RetransmitOther(now);
  }
  Pump(now);
}

void Connection::ReceiveData(const NspMessage& m, TimePoint now) {
  ProcessAcks(m, true, now);
  if (state_ != State::kRun || m.type != NspType::kData) return;
  switch (data_rx_.Classify(m.segnum())) {
    case Receiver::Arrival::kDuplicate:
      data_rx_.OweAck(now);  // our ack was lost
      break;
    case Receiver::Arrival::kNext:
      if (receive_drop_) return;  // no room: unacknowledged, so it comes again
      TakeSegment(m.flags, m.data, m.dly(), now);
      while (state_ == State::kRun) {
        std::optional<EarlySegment> next = data_rx_.TakeNext();
        if (!next) break;
        TakeSegment(next->flags, next->data, false, now);
      }
      break;
    case Receiver::Arrival::kEarly:
      if (!receive_drop_) data_rx_.StoreEarly(m.segnum(), m.flags, m.data);
      if (data_rx_.FirstNakFor()) SendAck(true, kNak);
      break;
    case Receiver::Arrival::kTooEarly:
      break;
  }
  if (state_ == State::kRun) Pump(now);  // credits granted on the way go out now
}

void Connection::TakeSegment(uint8_t flags, ByteSpan data, bool dly, TimePoint now) {
  data_rx_.Accept();
  data_rx_.OweAck(dly && phase4_ ? now + nsp_.settings().ack_holdoff : now);
  bool eom = flags & msgflg::kEom;
  // A segment without BOM where a message should start is taken as its start: some
  // senders get the flags wrong, and dropping their data would help nobody.
  if (assembly_.size() + data.size() > nsp_.settings().max_message) {
    Abort(1, {}, now);
    return;
  }
  if (nsp_.settings().receive_flow == FlowMode::kSegment ||
      (nsp_.settings().receive_flow == FlowMode::kMessage && eom)) {
    --credits_out_;
  }
  if (eom) {
    Bytes message;
    if (assembly_.empty()) {
      message.assign(data.begin(), data.end());
    } else {
      assembly_.insert(assembly_.end(), data.begin(), data.end());
      message.swap(assembly_);
    }
    ++nsp_.mutable_counters().messages_received;
    nsp_.events().OnData(*this, std::move(message));
  } else {
    assembly_.insert(assembly_.end(), data.begin(), data.end());
  }
  if (state_ == State::kRun) GrantCredits(false);
}

void Connection::ReceiveOther(const NspMessage& m, TimePoint now) {
  ProcessAcks(m, false, now);
  if (state_ != State::kRun || m.type == NspType::kOtherAck) return;
  switch (other_rx_.Classify(m.segnum())) {
    case Receiver::Arrival::kDuplicate:
      other_rx_.OweAck(now);
      break;
    case Receiver::Arrival::kNext:
      TakeOther(m, now);
      break;
    default:
      break;  // other data goes one at a time; an early one is simply sent again
  }
}

void Connection::TakeOther(const NspMessage& m, TimePoint now) {
  other_rx_.Accept();
  other_rx_.OweAck(now);
  if (m.type == NspType::kInterrupt) {
    ++nsp_.mutable_counters().messages_received;
    if (nsp_.events().OnInterrupt(*this, m.data) && state_ == State::kRun) GrantInterrupt(now);
    return;
  }
  if (m.fcval_int() == kInterruptRequest) {
    if (other_tx_.AddInterruptCredit(m.fcval) && m.fcval > 0) nsp_.events().OnInterruptCredit(*this);
  } else {
    data_tx_.ApplyLinkService(m.fcmod(), m.fcval);
  }
  if (state_ == State::kRun) Pump(now);
}

void Connection::GrantInterrupt(TimePoint now) {
  if (state_ != State::kRun) return;
  other_tx_.QueueLinkService(kNoChange, kInterruptRequest, 1);
  Pump(now);
}

void Connection::GrantCredits(bool force) {
  if (nsp_.settings().receive_flow == FlowMode::kNone || receive_busy_) return;
  int want = nsp_.settings().receive_credits;
  if (!force && credits_out_ > want / 2) return;
  int delta = want - credits_out_;
  if (delta <= 0) return;
  other_tx_.QueueLinkService(kNoChange, kDataRequest, static_cast<int8_t>(std::min(delta, 127)));
  credits_out_ += std::min(delta, 127);
}

void Connection::SetReceiveBusy(bool busy, bool drop, TimePoint now) {
  receive_drop_ = drop;
  if (busy == receive_busy_) return;
  receive_busy_ = busy;
  if (state_ != State::kRun && state_ != State::kConnectConfirm) return;
  if (nsp_.settings().receive_flow == FlowMode::kNone) {
    other_tx_.QueueLinkService(busy ? kXoff : kXon, kDataRequest, 0);
  } else if (!busy) {
    GrantCredits(true);
  }
  Pump(now);
}

bool Connection::SendMessage(std::shared_ptr<const Bytes> message, TimePoint now) {
  if ((state_ != State::kRun && state_ != State::kConnectConfirm) || pending_disconnect_) return false;
  data_tx_.Queue(std::move(message), segment_size_);
  ++nsp_.mutable_counters().messages_sent;
  Pump(now);
  return true;
}

bool Connection::SendInterrupt(ByteSpan data, TimePoint now) {
  if (state_ != State::kRun || pending_disconnect_ || !other_tx_.QueueInterrupt(data)) return false;
  ++nsp_.mutable_counters().messages_sent;
  Pump(now);
  return true;
}

void Connection::Pump(TimePoint now) {
  if (state_ == State::kRun) {
    while (data_tx_.NextNew()) {
      SendSegment(*data_tx_.NextNew());
      data_tx_.MarkSent(now);
      if (!data_timer_) data_timer_ = now + AckTimeout();
    }
    if (OtherItem* item = other_tx_.NextNew()) {
      SendOther(*item);
      other_tx_.MarkSent(now);
      other_timer_ = now + AckTimeout();
    }
  }
  UpdateDeadline();
}

void Connection::SetAcks(NspMessage& m, bool data_subchannel) {
  Receiver& own = data_subchannel ? data_rx_ : other_rx_;
  Receiver& cross = data_subchannel ? other_rx_ : data_rx_;
  if (own.ack_owed()) {
    m.ack1 = AckField::Make(own.acknum(), kAck);
    own.AckSent();
  }
  if (phase4_ && cross.ack_owed()) {
    m.ack2 = AckField::Make(cross.acknum(), kCrossAck);
    cross.AckSent();
  }
}

void Connection::SendSegment(TxSegment& s) {
  NspMessage m;
  m.type = NspType::kData;
  m.flags = static_cast<uint8_t>(msgflg::kData | (s.bom ? msgflg::kBom : 0) | (s.eom ? msgflg::kEom : 0));
  m.dst = remote_;
  m.src = local_;
  SetAcks(m, true);
  m.segfield = s.seq;  // never DLY: some peers hold delayed acks far too long
  m.data = s.payload();
  nsp_.Transmit(node_, m, false);
}

void Connection::SendOther(OtherItem& item) {
  NspMessage m;
  m.type = item.interrupt ? NspType::kInterrupt : NspType::kLinkService;
  m.flags = item.interrupt ? msgflg::kInterrupt : msgflg::kLinkService;
  m.dst = remote_;
  m.src = local_;
  SetAcks(m, false);
  m.segfield = item.seq;
  m.lsflags = item.lsflags;
  m.fcval = item.fcval;
  m.data = item.payload();
  nsp_.Transmit(node_, m, false);
}

void Connection::SendAck(bool data_subchannel, AckQualifier qualifier) {
  Receiver& own = data_subchannel ? data_rx_ : other_rx_;
  NspMessage m;
  m.type = data_subchannel ? NspType::kDataAck : NspType::kOtherAck;
  m.flags = data_subchannel ? msgflg::kDataAck : msgflg::kOtherAck;
  m.dst = remote_;
  m.src = local_;
  SetAcks(m, data_subchannel);
  m.ack1 = AckField::Make(own.acknum(), qualifier);
  own.AckSent();
  nsp_.Transmit(node_, m, false);
}

}  // namespace decnet
