// A fixture that plays the peer of one Nsp by hand: it feeds messages in, reads what
// NSP sent, and moves a fake clock through the timers.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "nsp/nsp.h"
#include "nsp_test_support.h"

namespace decnet::test {

constexpr NodeAddress kLocal = NodeAddress::Of(1, 2);
constexpr NodeAddress kPeer = NodeAddress::Of(1, 1);
constexpr uint16_t kPeerPort = 0xe59f;

inline NspSettings TestSettings() {
  NspSettings s;
  s.max_links = 4;
  return s;
}

class NspFixture : public ::testing::Test {
 protected:
  explicit NspFixture(NspSettings settings = TestSettings()) : routing(kLocal), nsp(routing, events, settings) {}

  void FromPeer(const Bytes& wire) { nsp.Receive(kPeer, wire, false, clock.now); }
  void FromPeer(const NspMessage& m) { FromPeer(Encode(m)); }

  // What NSP sent since the last call, decoded (kept alive in `wires_`).
  std::vector<NspMessage> Sent() {
    wires_ = routing.Take();
    std::vector<NspMessage> out;
    for (const Bytes& w : wires_) {
      auto m = DecodeNsp(w);
      EXPECT_TRUE(m) << ToHex(w);
      if (m) out.push_back(*m);
    }
    return out;
  }
  std::vector<NspMessage> SentOfType(NspType type) {
    std::vector<NspMessage> all = Sent(), out;
    std::copy_if(all.begin(), all.end(), std::back_inserter(out), [&](const NspMessage& m) { return m.type == type; });
    return out;
  }

  // Runs every timer due up to `d` from now, in order.
  void Advance(Duration d) {
    TimePoint until = clock.now + d;
    while (auto next = nsp.NextDeadline()) {
      if (*next > until) break;
      clock.now = std::max(clock.now, *next);
      nsp.Tick(clock.now);
    }
    clock.now = until;
  }

  NspMessage Peer(NspType type, uint8_t flags) {
    NspMessage m;
    m.type = type;
    m.flags = flags;
    m.dst = local_port;
    m.src = kPeerPort;
    return m;
  }
  NspMessage PeerData(uint16_t seq, bool bom, bool eom, const Bytes& payload, bool dly = false) {
    NspMessage m = Peer(NspType::kData, static_cast<uint8_t>((bom ? msgflg::kBom : 0) | (eom ? msgflg::kEom : 0)));
    m.segfield = static_cast<uint16_t>(seq | (dly ? 0x1000 : 0));
    payload_.push_back(payload);
    m.data = payload_.back();
    return m;
  }
  NspMessage PeerAck(uint16_t number, AckQualifier q = kAck, bool data_subchannel = true) {
    NspMessage m = Peer(data_subchannel ? NspType::kDataAck : NspType::kOtherAck,
                        data_subchannel ? msgflg::kDataAck : msgflg::kOtherAck);
    m.ack1 = AckField::Make(number, q);
    return m;
  }
  NspMessage PeerLinkService(uint16_t seq, uint8_t fcmod, LinkServiceKind kind, int8_t fcval) {
    NspMessage m = Peer(NspType::kLinkService, msgflg::kLinkService);
    m.segfield = seq;
    m.lsflags = static_cast<uint8_t>(fcmod | (kind << 2));
    m.fcval = fcval;
    return m;
  }
  NspMessage PeerConfirm(FlowMode flow = FlowMode::kNone, uint16_t segsize = 563) {
    NspMessage m = Peer(NspType::kConnectConfirm, msgflg::kConnectConfirm);
    m.services = ServicesFor(flow);
    m.info = kNspInfo40;
    m.segsize = segsize;
    m.has_data_ctl = true;
    return m;
  }
  NspMessage PeerInitiate(uint16_t src, FlowMode flow = FlowMode::kNone) {
    NspMessage m;
    m.type = NspType::kConnectInitiate;
    m.flags = msgflg::kConnectInitiate;
    m.src = src;
    m.services = ServicesFor(flow);
    m.info = kNspInfo40;
    m.segsize = 563;
    payload_.push_back(Hex("00 19 00 19 00"));
    m.data = payload_.back();
    return m;
  }

  // An outgoing link brought to RUN with the peer asking for `flow`.
  Connection* OpenOutgoing(FlowMode flow = FlowMode::kNone, uint16_t segsize = 563) {
    Bytes data = Hex("00 19 00 19 00");
    Connection* c = nsp.Connect(kPeer, data, clock.now);
    EXPECT_TRUE(c);
    local_port = c->local_address();
    FromPeer(PeerConfirm(flow, segsize));
    EXPECT_EQ(c->state(), Connection::State::kRun);
    Sent();
    events.events.clear();
    return c;
  }
  // An incoming link brought to RUN.
  Connection* OpenIncoming() {
    FromPeer(PeerInitiate(kPeerPort));
    Connection* c = events.last;
    EXPECT_TRUE(c);
    local_port = c->local_address();
    c->Accept({}, clock.now);
    FromPeer(PeerAck(0));
    EXPECT_EQ(c->state(), Connection::State::kRun);
    Sent();
    events.events.clear();
    return c;
  }

  FakeClock clock;
  FakeRouting routing;
  Recorder events;
  Nsp nsp;
  uint16_t local_port = 0;

 private:
  std::vector<Bytes> wires_;
  std::vector<Bytes> payload_;  // keeps the spans of built messages alive
};

inline std::shared_ptr<const Bytes> MessageOf(size_t size, uint8_t fill = 'x') {
  return std::make_shared<const Bytes>(size, fill);
}

}  // namespace decnet::test
