// The connection's timers: retransmission of control messages and of both
// subchannels against a running round-trip estimate, the retry limit, owed acks, the
// connect timeout and the inactivity probe.
#include <algorithm>

#include "nsp/connection.h"
#include "nsp/nsp.h"

namespace decnet {

Duration Connection::AckTimeout() const {
  const NspSettings& s = nsp_.settings();
  return std::clamp(round_trip_, s.min_round_trip, s.max_round_trip) * s.delay_factor;
}

void Connection::Measured(Duration sample) {
  const NspSettings& s = nsp_.settings();
  round_trip_ += (sample - round_trip_) / (s.delay_weight + 1);
  round_trip_ = std::clamp(round_trip_, s.min_round_trip, s.max_round_trip);
}

void Connection::RetransmitData(bool all, TimePoint now) {
  auto& segments = data_tx_.segments();
  size_t count = all ? data_tx_.in_flight() : std::min<size_t>(1, data_tx_.in_flight());
  for (size_t i = 0; i < count; ++i) {
    segments[i].retransmitted = true;
    SendSegment(segments[i]);
  }
  nsp_.mutable_counters().retransmissions += count;
  data_timer_ = now + AckTimeout();
}

void Connection::RetransmitOther(TimePoint now) {
  if (OtherItem* item = other_tx_.InFlight()) {
    item->retransmitted = true;
    SendOther(*item);
    ++nsp_.mutable_counters().retransmissions;
    other_timer_ = now + AckTimeout();
  }
}

void Connection::Touch(TimePoint now) {
  if (state_ == State::kRun) inactivity_at_ = now + nsp_.settings().inactivity;
}

void Connection::Tick(TimePoint now) {
  const NspSettings& s = nsp_.settings();
  auto due = [now](const std::optional<TimePoint>& t) { return t && *t <= now; };

  if (due(control_.retransmit_at)) {
    if (control_.tries > s.retransmit_limit) {
      control_.retransmit_at.reset();
      // A CI may be waiting at a node that never sends CA: the connect timeout decides.
      if (state_ == State::kConnectConfirm) return Close(CloseKind::kUnreachable, 39, {});
      if (state_ == State::kDisconnectInit) return Close(CloseKind::kLocal, control_.reason, {});
    } else {
      ++nsp_.mutable_counters().retransmissions;
      SendControl(control_.flags == msgflg::kConnectInitiate ? msgflg::kRetransmittedCi : control_.flags, now);
    }
  }
  if (due(connect_deadline_)) {
    connect_deadline_.reset();
    if (state_ == State::kConnectReceived) {
      Reject(38, {}, now);  // our user never answered: "object failed"
    } else if (state_ == State::kConnectInit || state_ == State::kConnectDelivered) {
      return Close(CloseKind::kTimeout, 38, {});
    }
  }
  if (due(data_timer_)) {
    if (!data_tx_.in_flight()) {
      data_timer_.reset();
    } else if (data_timeouts_ >= s.retransmit_limit) {
      return Close(CloseKind::kUnreachable, 39, {});
    } else {
      ++data_timeouts_;
      RetransmitData(true, now);
    }
  }
  if (due(other_timer_)) {
    if (!other_tx_.InFlight()) {
      other_timer_.reset();
    } else if (other_timeouts_ >= s.retransmit_limit) {
      return Close(CloseKind::kUnreachable, 39, {});
    } else {
      ++other_timeouts_;
      RetransmitOther(now);
    }
  }
  if (due(data_rx_.ack_due())) SendAck(true, kAck);
  if (due(other_rx_.ack_due())) SendAck(false, kAck);
  if (state_ == State::kRun && due(inactivity_at_)) {
    // Nothing heard for a long time: a "no change" request makes the peer answer,
    // and its retransmissions find out whether the peer is still there.
    if (other_tx_.idle()) other_tx_.QueueLinkService(kNoChange, kDataRequest, 0);
    inactivity_at_ = now + s.inactivity;
    Pump(now);
  }
  UpdateDeadline();
}

void Connection::UpdateDeadline() {
  if (state_ == State::kClosed) {
    deadline_.reset();
    return;
  }
  std::optional<TimePoint> d = Earlier(control_.retransmit_at, connect_deadline_);
  d = Earlier(d, Earlier(data_timer_, other_timer_));
  d = Earlier(d, Earlier(data_rx_.ack_due(), other_rx_.ack_due()));
  deadline_ = Earlier(d, state_ == State::kRun ? inactivity_at_ : std::nullopt);
}

}  // namespace decnet
