// The LAN end node: hellos, the designated router and its loss, the previous-hop cache
// and its aging, driven with a fake link and a fake clock.
#include <gtest/gtest.h>

#include "fakes.h"
#include "routing/lan_circuit.h"

namespace decnet {
namespace {

using testing::FakeLink;
using testing::Hex;
using testing::RecordingReceiver;

const NodeAddress kSelf = NodeAddress::Of(1, 5);

Bytes RouterHelloFrom(NodeAddress id, uint8_t priority, uint16_t timer = 10, uint8_t type = 2) {
  RouterHello hello;
  hello.id = id;
  hello.info = type;
  hello.block_size = 591;
  hello.priority = priority;
  hello.hello_timer = timer;
  Bytes out;
  Encode(hello, out);
  return out;
}

// Long data to us from `source`, carrying one byte of NSP.
Bytes LongDataFrom(NodeAddress source, uint8_t flags = kIntraEthernet) {
  DataHeader h;
  h.long_format = true;
  h.flags = flags;
  h.destination = kSelf;
  h.source = source;
  Bytes out;
  Encode(h, out);
  out.push_back(0x24);
  return out;
}

class LanCircuitTest : public ::testing::Test {
 protected:
  LanCircuitTest() : link(true) {
    LanSettings settings;
    settings.self = kSelf;
    circuit = std::make_unique<LanCircuit>(link, receiver, settings);
    link.Start(*circuit, now, nullptr);
    circuit->OnLinkUp(now);
  }
  void Feed(const Bytes& packet, const MacAddress& from) { circuit->OnPacket(packet, from, now); }
  void Advance(Duration d) {
    TimePoint end = now + d;
    while (true) {
      auto next = circuit->NextDeadline();
      if (!next || *next > end) break;
      now = std::max(now, *next);
      circuit->Tick(now);
    }
    now = end;
  }

  TimePoint now = TimePoint(seconds(1000));
  FakeLink link;
  RecordingReceiver receiver;
  std::unique_ptr<LanCircuit> circuit;
};

TEST_F(LanCircuitTest, HelloesAllRoutersEveryHelloTimeNamingTheDesignatedRouter) {
  ASSERT_EQ(link.sent.size(), 1u);
  EXPECT_EQ(link.sent[0].destination, kAllRouters);
  auto first = DecodeEndnodeHello(link.sent[0].packet);
  ASSERT_TRUE(first);
  EXPECT_TRUE(first->designated_router.is_zero());

  Feed(RouterHelloFrom(NodeAddress::Of(1, 4), 64), MacAddress::ForNode(NodeAddress::Of(1, 4)));
  Advance(seconds(10));
  ASSERT_EQ(link.sent.size(), 2u);
  auto second = DecodeEndnodeHello(link.sent[1].packet);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->designated_router, MacAddress::ForNode(NodeAddress::Of(1, 4)));
  EXPECT_EQ(circuit->Status().state, "on");
}

TEST_F(LanCircuitTest, DesignatedRouterIsTheHighestPriorityThenHighestAddressAndIsLostAfterSilence) {
  const NodeAddress a = NodeAddress::Of(1, 4), b = NodeAddress::Of(1, 9), c = NodeAddress::Of(1, 3);
  Feed(RouterHelloFrom(a, 64), MacAddress::ForNode(a));
  EXPECT_EQ(circuit->designated_router(), a);
  Feed(RouterHelloFrom(c, 64), MacAddress::ForNode(c));
  EXPECT_EQ(circuit->designated_router(), a) << "equal priority: the higher address stays";
  Feed(RouterHelloFrom(b, 100, 5), MacAddress::ForNode(b));
  EXPECT_EQ(circuit->designated_router(), b);
  EXPECT_EQ(circuit->counters().adjacency_ups, 2u);
  EXPECT_EQ(circuit->counters().adjacency_downs, 1u);

  // b says its hello time is 5 s: silent for 15 s it is gone and a takes over, as long
  // as a keeps talking.
  for (int i = 0; i < 4; ++i) {
    Advance(seconds(4));
    Feed(RouterHelloFrom(a, 64), MacAddress::ForNode(a));
  }
  EXPECT_EQ(circuit->designated_router(), a);
  Advance(seconds(31));
  EXPECT_FALSE(circuit->designated_router());
  EXPECT_FALSE(circuit->adjacency_up());
}

TEST_F(LanCircuitTest, IgnoresOutOfAreaRoutersAndEndNodes) {
  Feed(RouterHelloFrom(NodeAddress::Of(2, 1), 127), MacAddress::ForNode(NodeAddress::Of(2, 1)));
  Feed(RouterHelloFrom(NodeAddress::Of(1, 8), 127, 10, 3), MacAddress::ForNode(NodeAddress::Of(1, 8)));
  EndnodeHello other;
  other.id = NodeAddress::Of(1, 6);
  Bytes packet;
  Encode(other, packet);
  Feed(packet, MacAddress::ForNode(other.id));
  EXPECT_FALSE(circuit->designated_router());
  EXPECT_EQ(circuit->counters().malformed, 0u);
}

TEST_F(LanCircuitTest, DataGoesToThePreviousHopThenTheRouterThenStraightToTheNode) {
  const NodeAddress router = NodeAddress::Of(1, 4), peer = NodeAddress::Of(1, 7), far = NodeAddress::Of(1, 8);
  // No router, nothing cached: straight to the node's own address.
  ASSERT_TRUE(circuit->SendData(peer, Hex("24 1b 99"), true));
  EXPECT_EQ(link.sent.back().destination, MacAddress::ForNode(peer));
  EXPECT_EQ(link.sent.back().packet, Hex("2e 00 00 aa 00 04 00 07 04 00 00 aa 00 04 00 05 04 00 00 00 00 24 1b 99"));

  Feed(RouterHelloFrom(router, 64), MacAddress::ForNode(router));
  circuit->SendData(far, Hex("24"), false);
  EXPECT_EQ(link.sent.back().destination, MacAddress::ForNode(router));

  // Data from the peer straight off the wire: the peer is a neighbour now.
  Feed(LongDataFrom(peer), MacAddress::ForNode(peer));
  ASSERT_EQ(receiver.messages.size(), 1u);
  EXPECT_EQ(receiver.messages[0].source, peer);
  circuit->SendData(peer, Hex("24"), false);
  EXPECT_EQ(link.sent.back().destination, MacAddress::ForNode(peer));

  // The cache forgets after 60 s without traffic; then the router gets it again.
  Advance(seconds(59));
  EXPECT_EQ(circuit->NextHop(peer), MacAddress::ForNode(peer));
  Feed(RouterHelloFrom(router, 64), MacAddress::ForNode(router));
  Advance(seconds(2));
  EXPECT_EQ(circuit->NextHop(peer), MacAddress::ForNode(router));
  EXPECT_EQ(circuit->cache_size(), 0u);
}

TEST_F(LanCircuitTest, ReturnedPacketsGoUpMarkedAndAreNotCached) {
  const NodeAddress router = NodeAddress::Of(1, 4), gone = NodeAddress::Of(1, 9);
  Feed(LongDataFrom(gone, kRts), MacAddress::ForNode(router));
  ASSERT_EQ(receiver.messages.size(), 1u);
  EXPECT_TRUE(receiver.messages[0].returned);
  EXPECT_EQ(receiver.messages[0].source, gone);
  EXPECT_EQ(circuit->cache_size(), 0u);
}

TEST_F(LanCircuitTest, TablesStayBoundedUnderAFlood) {
  for (unsigned node = 1; node <= 1023; ++node) {
    NodeAddress a = NodeAddress::Of(1, node);
    Feed(RouterHelloFrom(a, 1), MacAddress::ForNode(a));
    Feed(LongDataFrom(NodeAddress::Of(2, node)), MacAddress::ForNode(a));
    Feed(LongDataFrom(NodeAddress::Of(3, node)), MacAddress::ForNode(a));
  }
  EXPECT_LE(circuit->cache_size(), 1024u);
  EXPECT_TRUE(circuit->designated_router());
  EXPECT_EQ(receiver.messages.size(), 2046u);
}

TEST_F(LanCircuitTest, HostileInputIsCountedAndDropped) {
  const MacAddress from = MacAddress::ForNode(NodeAddress::Of(1, 4));
  const Bytes garbage[] = {
      Hex("0b 02 00 00 aa 00"),              // router hello cut short
      Hex("0d 02 00 00"),                    // end-node hello cut short
      Hex("01 02 04 03 40 02 02 00 00 3c 00 00"),  // a point-to-point init on a LAN
      Hex("26 00 00 aa 00 04 00 05 04"),     // long data header cut short
      Hex("26 00 00 aa 00 04 00 05 04 00 00 aa 00 04 00 07 04 00 00 00 00"),  // no NSP message
      Hex("86 00"),                          // padding past the end
  };
  for (const auto& g : garbage) Feed(g, from);
  circuit->OnMalformedFrame();
  EXPECT_EQ(circuit->counters().malformed, std::size(garbage) + 1);
  EXPECT_TRUE(receiver.messages.empty());
  EXPECT_FALSE(circuit->designated_router());
}

}  // namespace
}  // namespace decnet
