// The port table and the receive dispatcher (see nsp.h). Messages that match no
// port get the answer a peer needs to stop trying: "no resources" for a CI we have
// no room for, "no link" for anything else that expects a reply.
#include "nsp/nsp.h"

#include <random>

namespace decnet {

Nsp::Nsp(RoutingPort& routing, NspEvents& events, NspSettings settings)
    : routing_(routing), events_(events), settings_(settings) {
  // A fresh start should not reuse the link addresses of a previous run at once.
  next_address_ = settings_.first_address ? settings_.first_address : static_cast<uint16_t>(std::random_device{}());
}

Nsp::~Nsp() = default;

size_t Nsp::max_nsp_message() const { return routing_.MaxNspMessage(); }

uint16_t Nsp::NewAddress() {
  for (;;) {
    uint16_t a = ++next_address_;
    if (a != 0 && !ports_.count(a)) return a;
  }
}

Connection* Nsp::Find(uint16_t local_address) {
  auto it = ports_.find(local_address);
  if (it == ports_.end() || it->second->state() == Connection::State::kClosed) return nullptr;
  return it->second.get();
}

Connection* Nsp::Connect(NodeAddress node, ByteSpan session_data, TimePoint now) {
  if (ports_.size() >= settings_.max_links) return nullptr;
  uint16_t local = NewAddress();
  auto c = std::make_unique<Connection>(*this, local, node);
  Connection* raw = c.get();
  ports_.emplace(local, std::move(c));
  ++counters_.connects_sent;
  raw->StartOutgoing(session_data, now);
  return raw;
}

bool Nsp::Transmit(NodeAddress to, const NspMessage& m, bool return_to_sender) {
  EncodeNsp(m, scratch_);
  if (to == routing_.LocalAddress()) {
    loopback_.push_back(scratch_);  // handled after the current event, never inside it
    return true;
  }
  return routing_.SendNsp(to, scratch_, return_to_sender);
}

void Nsp::Reply(NodeAddress to, uint16_t dst, uint16_t src, uint16_t reason) {
  NspMessage m;
  m.type = NspType::kDisconnectConfirm;
  m.flags = msgflg::kDisconnectConfirm;
  m.dst = dst;
  m.src = src;
  m.reason = reason;
  Transmit(to, m, false);
}

void Nsp::Receive(NodeAddress source, ByteSpan wire, bool returned, TimePoint now) {
  std::optional<NspMessage> m = DecodeNsp(wire);
  if (!m) {
    ++counters_.malformed;
  } else {
    Dispatch(source, *m, returned, now);
  }
  Settle(now);
}

void Nsp::Dispatch(NodeAddress source, const NspMessage& m, bool returned, TimePoint now) {
  if (m.type == NspType::kNop) return;
  if (returned) {
    // Only a returned CI means anything: its destination was unreachable.
    if (m.type != NspType::kConnectInitiate) return;
    if (Connection* c = Find(m.src)) c->Returned(now);
    return;
  }
  if (m.type == NspType::kConnectInitiate) {
    auto key = std::make_pair(source.value, m.src);
    auto it = by_remote_.find(key);
    if (it != by_remote_.end()) {
      if (Connection* c = Find(it->second)) c->Receive(m, now);  // a retransmitted CI
      return;
    }
    ++counters_.connects_received;
    if (ports_.size() >= settings_.max_links || m.src == 0) {
      ++counters_.connects_refused;
      Reply(source, m.src, 0, kDcNoResources);
      return;
    }
    uint16_t local = NewAddress();
    auto owned = std::make_unique<Connection>(*this, local, source);
    Connection* c = owned.get();
    ports_.emplace(local, std::move(owned));
    by_remote_[key] = local;
    c->StartIncoming(m, now);
    events_.OnConnectInitiate(*c, m.data);
    return;
  }

  Connection* c = Find(m.dst);
  if (c) {
    auto state = c->state();
    bool connecting = state == Connection::State::kConnectInit || state == Connection::State::kConnectDelivered;
    if (connecting) {
      bool answer = m.type == NspType::kConnectConfirm || m.type == NspType::kDisconnectInitiate ||
                    m.type == NspType::kDisconnectConfirm;
      if (answer && c->remote_address() == 0) {
        c->remote_ = m.src;
        // A "no resources" from the peer's reserved port has no link address of its own.
        if (m.src != 0) by_remote_[{c->remote_node().value, m.src}] = c->local_address();
      } else if (m.type != NspType::kConnectAck) {
        c = nullptr;
      }
    } else if (m.type == NspType::kConnectAck) {
      c = nullptr;
    }
    if (c && (source != c->remote_node() || (m.type != NspType::kConnectAck && m.src != c->remote_address()))) {
      c = nullptr;
    }
  }
  if (!c) {
    switch (m.type) {
      case NspType::kConnectConfirm:
      case NspType::kDisconnectInitiate:
      case NspType::kData:
      case NspType::kInterrupt:
      case NspType::kLinkService:
        Reply(source, m.src, m.dst, kDcNoLink);
        break;
      default:
        break;  // acks and confirms need no answer
    }
    return;
  }
  c->Receive(m, now);
}

void Nsp::Tick(TimePoint now) {
  // Collected first: a link's upcalls may open other links while it ticks.
  due_.clear();
  for (auto& [address, c] : ports_) {
    auto d = c->NextDeadline();
    if (d && *d <= now) due_.push_back(c.get());
  }
  for (Connection* c : due_) c->Tick(now);
  Settle(now);
}

std::optional<TimePoint> Nsp::NextDeadline() const {
  std::optional<TimePoint> earliest;
  for (const auto& [address, c] : ports_) earliest = Earlier(earliest, c->NextDeadline());
  if (!loopback_.empty()) earliest = Earlier(earliest, TimePoint{});
  return earliest;
}

void Nsp::Forget(Connection& c) {
  if (c.remote_address() != 0) {
    auto it = by_remote_.find({c.remote_node().value, c.remote_address()});
    if (it != by_remote_.end() && it->second == c.local_address()) by_remote_.erase(it);
  }
}

void Nsp::Settle(TimePoint now) {
  if (settling_) return;
  settling_ = true;
  // Bounded: a pair of links talking to each other on this node could otherwise keep
  // this loop going; what is left waits for the next call (NextDeadline says "now").
  for (int round = 0; round < 64 && !loopback_.empty(); ++round) {
    Bytes wire = std::move(loopback_.front());
    loopback_.pop_front();
    std::optional<NspMessage> m = DecodeNsp(wire);
    if (m) Dispatch(routing_.LocalAddress(), *m, false, now);
  }
  for (auto it = ports_.begin(); it != ports_.end();) {
    if (it->second->state() == Connection::State::kClosed) {
      Forget(*it->second);
      it = ports_.erase(it);
    } else {
      ++it;
    }
  }
  settling_ = false;
}

void Nsp::AbortAll(uint16_t reason) {
  for (auto& [address, c] : ports_) {
    if (c->state() == Connection::State::kRun || c->state() == Connection::State::kConnectConfirm) {
      NspMessage m;
      m.type = NspType::kDisconnectInitiate;
      m.flags = msgflg::kDisconnectInitiate;
      m.dst = c->remote_address();
      m.src = c->local_address();
      m.reason = reason;
      m.has_data_ctl = true;
      Transmit(c->remote_node(), m, false);
    }
    c->Close(CloseKind::kLocal, reason, {});
  }
  loopback_.clear();
  by_remote_.clear();
  ports_.clear();
}

}  // namespace decnet
