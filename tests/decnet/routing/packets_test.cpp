// Routing messages against frames captured between two other implementations and
// against vectors built by hand from the message layouts.
#include <gtest/gtest.h>

#include "fakes.h"
#include "routing/packets.h"

namespace decnet {
namespace {

using testing::Hex;

const NodeAddress k1_4 = NodeAddress::Of(1, 4);
const NodeAddress k1_5 = NodeAddress::Of(1, 5);

TEST(RoutingPackets, CapturedRouterHelloDecodesAndEncodesBack) {
  Bytes wire = Hex("0b 02 00 00 aa 00 04 00 04 04 02 4f 02 40 00 0a 00 00 08 00 00 00 00 00 00 00 00");
  EXPECT_EQ(ClassifyRoutingPacket(wire), RoutingKind::kRouterHello);
  auto hello = DecodeRouterHello(wire);
  ASSERT_TRUE(hello);
  EXPECT_EQ(hello->id, k1_4);
  EXPECT_EQ(hello->node_type(), NodeType::kL1Router);
  EXPECT_EQ(hello->block_size, 591);
  EXPECT_EQ(hello->priority, 64);
  EXPECT_EQ(hello->hello_timer, 10);
  EXPECT_TRUE(hello->routers.empty());
  Bytes again;
  Encode(*hello, again);
  EXPECT_EQ(again, wire);
}

TEST(RoutingPackets, OurEndnodeHelloMatchesTheCapturedOne) {
  Bytes wire = Hex("0d 02 00 00 aa 00 04 00 05 04 03 4f 02 00 0000000000000000 000000000000 0a 00 00 32");
  wire.insert(wire.end(), 50, 0xaa);
  EndnodeHello hello;
  hello.id = k1_5;
  hello.block_size = 591;
  hello.hello_timer = 10;
  hello.test_data.assign(50, 0xaa);
  Bytes encoded;
  Encode(hello, encoded);
  EXPECT_EQ(encoded, wire);
  auto decoded = DecodeEndnodeHello(wire);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->id, k1_5);
  EXPECT_TRUE(decoded->designated_router.is_zero());
}

TEST(RoutingPackets, CapturedLongDataHeaderOfAConnectInitiate) {
  Bytes header = Hex("2e 00 00 aa 00 04 00 04 04 00 00 aa 00 04 00 05 04 00 00 00 00");
  Bytes nsp = Hex("18 00 00 1b 99 01 02 33 02 00 1b 01 00 05 4a 4f 4e 45 53 02 10 03 01 00 12 00 00 00 00 10 00 00 00 "
                  "02 02 00 00");
  Bytes wire = header;
  wire.insert(wire.end(), nsp.begin(), nsp.end());
  EXPECT_EQ(ClassifyRoutingPacket(wire), RoutingKind::kLongData);
  ByteSpan payload;
  auto decoded = DecodeDataHeader(wire, &payload);
  ASSERT_TRUE(decoded);
  EXPECT_TRUE(decoded->long_format);
  EXPECT_TRUE(decoded->rqr());
  EXPECT_FALSE(decoded->rts());
  EXPECT_EQ(decoded->flags & kIntraEthernet, kIntraEthernet);
  EXPECT_EQ(decoded->destination, k1_4);
  EXPECT_EQ(decoded->source, k1_5);
  EXPECT_EQ(Bytes(payload.begin(), payload.end()), nsp);
  Bytes again;
  Encode(*decoded, again);
  EXPECT_EQ(again, header);
}

TEST(RoutingPackets, ShortDataHeaderWithEachFlag) {
  struct Case {
    uint8_t flags;
    const char* wire;
  } cases[] = {
      {0, "02 04 04 05 04 00"},
      {kRqr, "0a 04 04 05 04 00"},
      {kRts, "12 04 04 05 04 00"},
      {kRqr | kRts, "1a 04 04 05 04 00"},
  };
  for (const auto& c : cases) {
    DataHeader h;
    h.flags = c.flags;
    h.destination = k1_4;
    h.source = k1_5;
    Bytes encoded;
    Encode(h, encoded);
    EXPECT_EQ(encoded, Hex(c.wire)) << c.wire;
    Bytes packet = encoded;
    packet.push_back(0x24);
    ByteSpan payload;
    auto decoded = DecodeDataHeader(packet, &payload);
    ASSERT_TRUE(decoded) << c.wire;
    EXPECT_EQ(decoded->flags, c.flags) << c.wire;
    EXPECT_EQ(payload.size(), 1u);
  }
}

TEST(RoutingPackets, PointToPointControlMessages) {
  PtpInit init;
  init.source = NodeAddress::Of(1, 2);
  init.node_type = NodeType::kEndNode;
  init.block_size = 576;
  init.hello_timer = 60;
  Bytes wire;
  Encode(init, wire);
  EXPECT_EQ(wire, Hex("01 02 04 03 40 02 02 00 00 3c 00 00"));
  auto back = DecodePtpInit(wire);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->source, init.source);
  EXPECT_EQ(back->node_type, NodeType::kEndNode);
  EXPECT_FALSE(back->verification_requested);

  init.verification_requested = true;
  init.node_type = NodeType::kL1Router;
  wire.clear();
  Encode(init, wire);
  EXPECT_EQ(wire[3], 0x06);  // L1 router, verification wanted

  PtpVerify verify{NodeAddress::Of(1, 2), Hex("53 45 43 52 45 54")};
  wire.clear();
  Encode(verify, wire);
  EXPECT_EQ(wire, Hex("03 02 04 06 53 45 43 52 45 54"));
  EXPECT_EQ(DecodePtpVerify(wire)->function_value, verify.function_value);

  PtpHello hello{NodeAddress::Of(1, 2), Bytes(10, 0xaa)};
  wire.clear();
  Encode(hello, wire);
  EXPECT_EQ(wire, Hex("05 02 04 0a aa aa aa aa aa aa aa aa aa aa"));
  EXPECT_EQ(DecodePtpHello(wire)->test_data.size(), 10u);
}

TEST(RoutingPackets, RoutingMessageChecksumIsOnePlusTheWordsWithEndAroundCarry) {
  EXPECT_EQ(RoutingChecksum({}), 1);
  EXPECT_EQ(RoutingChecksum({0x0001, 0x0002}), 4);
  EXPECT_EQ(RoutingChecksum({0xffff}), 1);        // 1 + 0xffff carries round to 1
  EXPECT_EQ(RoutingChecksum({0xfffe, 0x0003}), 3);  // 0x10002 folds to 3

  // Level 1, from 1.1: one segment of two entries starting at node 3.
  RoutingMessage m;
  m.source = NodeAddress::Of(1, 1);
  m.segments.push_back({3, {0x0401, 0x7fff}});
  Bytes wire;
  Encode(m, wire);
  // 1 + 2 + 3 + 0x0401 + 0x7fff = 0x8406
  EXPECT_EQ(wire, Hex("07 01 04 00 02 00 03 00 01 04 ff 7f 06 84"));
  auto back = DecodeRoutingMessage(wire);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->segments.size(), 1u);
  Bytes again;
  Encode(*back, again);
  EXPECT_EQ(again, wire);

  Bytes corrupted = wire;
  corrupted.back() ^= 1;
  EXPECT_FALSE(DecodeRoutingMessage(corrupted));

  RoutingMessage areas;
  areas.level2 = true;
  areas.source = NodeAddress::Of(1, 1);
  areas.segments.push_back({1, {0x0402}});
  wire.clear();
  Encode(areas, wire);
  EXPECT_EQ(wire[0], 0x09);
  EXPECT_TRUE(DecodeRoutingMessage(wire));
}

TEST(RoutingPackets, RouterHelloWithARouterList) {
  RouterHello hello;
  hello.id = NodeAddress::Of(1, 4);
  hello.block_size = 591;
  hello.priority = 64;
  hello.hello_timer = 10;
  hello.routers = {{NodeAddress::Of(1, 4), 64, true}, {NodeAddress::Of(1, 9), 32, false}};
  Bytes wire;
  Encode(hello, wire);
  EXPECT_EQ(Bytes(wire.begin() + 18, wire.end()),
            Hex("16 00000000000000 0e aa00040004 04 c0 aa00040009 04 20"));
  auto back = DecodeRouterHello(wire);
  ASSERT_TRUE(back);
  ASSERT_EQ(back->routers.size(), 2u);
  EXPECT_TRUE(back->routers[0].two_way);
  EXPECT_EQ(back->routers[1].priority, 32);
}

TEST(RoutingPackets, PaddingIsStrippedAndBadPaddingRefused) {
  Bytes padded = Hex("83 00 00 05 02 04 01 aa");
  auto stripped = StripPadding(padded);
  ASSERT_TRUE(stripped);
  EXPECT_EQ(stripped->size(), 5u);
  EXPECT_EQ((*stripped)[0], 0x05);
  EXPECT_FALSE(StripPadding(Hex("80 05 02 04")));  // a pad of zero bytes
  EXPECT_FALSE(StripPadding(Hex("85 00 00 00")));  // padding past the end
  EXPECT_FALSE(StripPadding(Hex("82 00")));        // nothing after the padding
  EXPECT_FALSE(StripPadding({}));
}

TEST(RoutingPackets, TruncatedAndOverlongMessagesAreRefused) {
  struct Case {
    const char* name;
    Bytes wire;
  } cases[] = {
      {"init cut short", Hex("01 02 04 03 40 02 02 00")},
      {"init with bytes after its I-field", Hex("01 02 04 03 40 02 02 00 00 3c 00 00 00")},
      {"init of node type 0", Hex("01 02 04 00 40 02 02 00 00 3c 00 00")},
      {"hello I-field past the end", Hex("05 02 04 0a aa aa")},
      {"verify I-field over 64", [] {
         Bytes b = Hex("03 02 04 41");
         b.insert(b.end(), 65, 0x41);
         return b;
       }()},
      {"router hello id not AA-00-04-00", Hex("0b 02 00 00 aa 00 04 01 04 04 02 4f 02 40 00 0a 00 00 08 00 00 00 00 00 "
                                             "00 00 00")},
      {"router list not a multiple of 7", Hex("0b 02 00 00 aa 00 04 00 04 04 02 4f 02 40 00 0a 00 00 09 00 00 00 00 00 "
                                              "00 00 01 00")},
      {"routing message of odd length", Hex("07 01 04 00 01 00 03")},
      {"routing segment past the words", Hex("07 01 04 00 05 00 03 00 09 00")},
      {"long data header cut short", Hex("26 00 00 aa 00 04 00 04 04 00 00 aa 00")},
      {"short data header cut short", Hex("02 04 04 05")},
  };
  for (const auto& c : cases) {
    ByteSpan payload;
    bool accepted = DecodePtpInit(c.wire) || DecodePtpVerify(c.wire) || DecodePtpHello(c.wire) ||
                    DecodeRouterHello(c.wire) || DecodeEndnodeHello(c.wire) || DecodeRoutingMessage(c.wire) ||
                    DecodeDataHeader(c.wire, &payload);
    EXPECT_FALSE(accepted) << c.name;
  }
}

}  // namespace
}  // namespace decnet
