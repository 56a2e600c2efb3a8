// The connection's states: connect, confirm, reject, disconnect, and what each state
// does with an arriving message. Subchannel work is in connection_data.cc.
#include "nsp/connection.h"

#include "nsp/nsp.h"

namespace decnet {

Connection::Connection(Nsp& nsp, uint16_t local_address, NodeAddress remote_node)
    : nsp_(nsp),
      local_(local_address),
      node_(remote_node),
      segment_size_(nsp.settings().segment_size),
      round_trip_(nsp.settings().initial_round_trip),
      data_tx_(nsp.settings().send_window),
      data_rx_(nsp.settings().early_limit),
      other_rx_(1) {}

void Connection::StartOutgoing(ByteSpan session_data, TimePoint now) {
  state_ = State::kConnectInit;
  control_.data.assign(session_data.begin(), session_data.end());
  connect_deadline_ = now + nsp_.settings().connect_timeout;
  SendControl(msgflg::kConnectInitiate, now);
}

void Connection::SetRemote(const NspMessage& m) {
  remote_ = m.src;
  // NSP 3.x peers know neither cross-subchannel nor delayed acks.
  phase4_ = (m.info & 3) >= kNspInfo40;
  size_t theirs = m.segsize ? m.segsize : nsp_.settings().segment_size;
  segment_size_ = std::min(theirs, nsp_.settings().segment_size);
  data_tx_.SetFlowMode(m.flow() == FlowMode::kSegment || m.flow() == FlowMode::kMessage ? m.flow()
                                                                                     : FlowMode::kNone);
}

void Connection::StartIncoming(const NspMessage& ci, TimePoint now) {
  SetRemote(ci);
  state_ = State::kConnectReceived;
  connect_deadline_ = now + nsp_.settings().connect_timeout;
  SendConnectAck();
  UpdateDeadline();
}

void Connection::Accept(ByteSpan data_ctl, TimePoint now) {
  if (state_ != State::kConnectReceived) return;
  connect_deadline_.reset();
  state_ = State::kConnectConfirm;
  control_.tries = 0;
  control_.data.assign(data_ctl.begin(), data_ctl.begin() + std::min(data_ctl.size(), kMaxDataCtl));
  SendControl(msgflg::kConnectConfirm, now);
}

void Connection::Reject(uint16_t reason, ByteSpan data, TimePoint now) {
  if (state_ != State::kConnectReceived) return;
  StartDisconnect(reason, data, now);
}

void Connection::Disconnect(uint16_t reason, ByteSpan data, TimePoint now) {
  switch (state_) {
    case State::kConnectInit:
    case State::kConnectDelivered:
      Close(CloseKind::kLocal, reason, {});
      break;
    case State::kConnectReceived:
      Reject(reason, data, now);
      break;
    case State::kConnectConfirm:
    case State::kRun:
      if (!data_tx_.idle()) {
        pending_disconnect_.emplace(reason, Bytes(data.begin(), data.end()));
        break;
      }
      StartDisconnect(reason, data, now);
      break;
    case State::kDisconnectInit:
    case State::kClosed:
      break;
  }
}

void Connection::Abort(uint16_t reason, ByteSpan data, TimePoint now) {
  if (state_ == State::kConnectConfirm || state_ == State::kRun) {
    StartDisconnect(reason, data, now);
  } else {
    Disconnect(reason, data, now);
  }
}

void Connection::StartDisconnect(uint16_t reason, ByteSpan data, TimePoint now) {
  data_tx_.Clear();
  other_tx_.Clear();
  data_rx_.Clear();
  other_rx_.Clear();
  assembly_.clear();
  pending_disconnect_.reset();
  data_timer_.reset();
  other_timer_.reset();
  connect_deadline_.reset();
  inactivity_at_.reset();
  state_ = State::kDisconnectInit;
  control_.reason = reason;
  control_.data.assign(data.begin(), data.begin() + std::min(data.size(), kMaxDataCtl));
  control_.tries = 0;
  SendControl(msgflg::kDisconnectInitiate, now);
}

void Connection::SendControl(uint8_t flags, TimePoint now) {
  NspMessage m;
  m.flags = flags;
  switch (flags) {
    case msgflg::kConnectInitiate:
    case msgflg::kRetransmittedCi:
      m.type = NspType::kConnectInitiate;
      break;
    case msgflg::kConnectConfirm:
      m.type = NspType::kConnectConfirm;
      m.has_data_ctl = true;
      break;
    default:
      m.type = NspType::kDisconnectInitiate;
      m.has_data_ctl = true;
      break;
  }
  m.dst = m.type == NspType::kConnectInitiate ? 0 : remote_;
  m.src = local_;
  m.services = ServicesFor(nsp_.settings().receive_flow);
  m.info = kNspInfo40;
  m.segsize = static_cast<uint16_t>(nsp_.settings().segment_size);
  m.reason = control_.reason;
  m.data = control_.data;
  control_.flags = flags == msgflg::kRetransmittedCi ? msgflg::kConnectInitiate : flags;
  ++control_.tries;
  control_.retransmit_at = now + AckTimeout();
  bool routed = nsp_.Transmit(node_, m, m.type == NspType::kConnectInitiate);
  UpdateDeadline();
  // With no adjacency at all the node is unreachable now; saying so at once beats
  // retransmitting into nothing until the connect timer runs out.
  if (!routed && flags == msgflg::kConnectInitiate && control_.tries == 1) Close(CloseKind::kUnreachable, 39, {});
}

void Connection::SendDisconnectConfirm(uint16_t reason) {
  NspMessage m;
  m.type = NspType::kDisconnectConfirm;
  m.flags = msgflg::kDisconnectConfirm;
  m.dst = remote_;
  m.src = local_;
  m.reason = reason;
  nsp_.Transmit(node_, m, false);
}

void Connection::SendConnectAck() {
  NspMessage m;
  m.type = NspType::kConnectAck;
  m.flags = msgflg::kConnectAck;
  m.dst = remote_;
  nsp_.Transmit(node_, m, false);
}

void Connection::EnterRun(TimePoint now) {
  state_ = State::kRun;
  control_.retransmit_at.reset();
  connect_deadline_.reset();
  Touch(now);
  GrantCredits(true);
  Pump(now);
}

void Connection::Close(CloseKind kind, uint16_t reason, ByteSpan data) {
  if (state_ == State::kClosed) return;
  state_ = State::kClosed;
  deadline_.reset();
  nsp_.events().OnClosed(*this, kind, reason, data);
}

void Connection::Returned(TimePoint) {
  if (state_ == State::kConnectInit) Close(CloseKind::kUnreachable, 39, {});
}

void Connection::Receive(const NspMessage& m, TimePoint now) {
  switch (state_) {
    case State::kConnectInit:
      if (m.type == NspType::kConnectAck) {
        state_ = State::kConnectDelivered;
        control_.retransmit_at.reset();  // the peer has it; now wait for its user
        UpdateDeadline();
        return;
      }
      [[fallthrough]];
    case State::kConnectDelivered:
      switch (m.type) {
        case NspType::kConnectConfirm:
          SetRemote(m);
          SendAck(true, kAck);  // acknowledges the CC
          EnterRun(now);
          nsp_.events().OnAccepted(*this, m.data);
          break;
        case NspType::kDisconnectInitiate:
          remote_ = m.src;
          SendDisconnectConfirm(kDcComplete);
          Close(CloseKind::kRejected, m.reason, m.data);
          break;
        case NspType::kDisconnectConfirm:
          if (m.reason == kDcNoResources) Close(CloseKind::kNoResources, m.reason, {});
          else Close(CloseKind::kRejected, m.reason, {});
          break;
        default:
          break;
      }
      return;
    case State::kConnectReceived:
      if (m.type == NspType::kConnectInitiate) SendConnectAck();  // our CA was lost
      return;
    case State::kConnectConfirm:
      switch (m.type) {
        case NspType::kData:
        case NspType::kInterrupt:
        case NspType::kLinkService:
        case NspType::kDataAck:
        case NspType::kOtherAck:
          EnterRun(now);  // anything on a subchannel acknowledges our CC
          ReceiveRunning(m, now);
          break;
        case NspType::kDisconnectInitiate:
        case NspType::kDisconnectConfirm:
          ReceiveRunning(m, now);
          break;
        default:
          break;
      }
      return;
    case State::kRun:
      ReceiveRunning(m, now);
      return;
    case State::kDisconnectInit:
      if (m.type == NspType::kDisconnectInitiate) {
        SendDisconnectConfirm(kDcComplete);
        Close(CloseKind::kLocal, control_.reason, {});
      } else if (m.type == NspType::kDisconnectConfirm) {
        Close(CloseKind::kLocal, control_.reason, {});
      }
      return;
    case State::kClosed:
      return;
  }
}

void Connection::ReceiveRunning(const NspMessage& m, TimePoint now) {
  Touch(now);
  switch (m.type) {
    case NspType::kData:
    case NspType::kDataAck:
      ReceiveData(m, now);
      break;
    case NspType::kInterrupt:
    case NspType::kLinkService:
    case NspType::kOtherAck:
      ReceiveOther(m, now);
      break;
    case NspType::kDisconnectInitiate:
      SendDisconnectConfirm(kDcComplete);
      Close(CloseKind::kDisconnected, m.reason, m.data);
      return;
    case NspType::kDisconnectConfirm:
      Close(m.reason == kDcNoResources ? CloseKind::kNoResources : CloseKind::kDisconnected, m.reason, {});
      return;
    case NspType::kConnectConfirm:
      SendAck(true, kAck);  // our ack of it was lost
      break;
    default:
      break;
  }
  UpdateDeadline();
}

}  // namespace decnet
