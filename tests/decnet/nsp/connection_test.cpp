// The NSP connection state machine against a hand-played peer with a fake clock:
// connect, confirm, reject, retransmission, acks and NAKs, segmentation, flow
// control, interrupts, sequence wrap, timers, and disconnect in every state.
#include <gtest/gtest.h>

#include "nsp_fixture.h"

namespace decnet::test {
namespace {

using State = Connection::State;

class ConnectionTest : public NspFixture {};

std::string LE(uint16_t v) {
  Bytes b = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
  return ToHex(b);
}

TEST_F(ConnectionTest, OutgoingConnectMatchesTheCapturedFrames) {
  Bytes data = Hex("00 1b 01 00 05 4a 4f 4e 45 53 02 10 03 01 00 12 00 00 00 00 10 00 00 00 02 02 00 00");
  Connection* c = nsp.Connect(kPeer, data, clock.now);
  ASSERT_TRUE(c);
  local_port = c->local_address();
  ASSERT_EQ(routing.sent.size(), 1u);
  EXPECT_TRUE(routing.sent[0].rqr);
  EXPECT_EQ(ToHex(routing.sent[0].wire), "18 00 00 " + LE(local_port) + " 01 02 33 02 " + ToHex(data));
  routing.sent.clear();

  FromPeer(Hex("24 " + LE(local_port)));
  EXPECT_EQ(c->state(), State::kConnectDelivered);
  Bytes cc = Hex("28 " + LE(local_port) + " 9f e5 01 02 33 02 10 03 01 00 12 00 00 00 00 20 00 00 00 02 02 00 00");
  FromPeer(cc);
  EXPECT_EQ(c->state(), State::kRun);
  ASSERT_EQ(routing.sent.size(), 1u);
  EXPECT_EQ(ToHex(routing.sent[0].wire), "04 9f e5 " + LE(local_port) + " 00 80");
  auto accepted = events.Take("accepted");
  ASSERT_EQ(accepted.size(), 1u);
  EXPECT_EQ(ToHex(accepted[0].data), "03 01 00 12 00 00 00 00 20 00 00 00 02 02 00 00");
}

TEST_F(ConnectionTest, ConnectAnswers) {
  struct Row {
    const char* name;
    std::string answer;  // after the local address
    CloseKind kind;
    uint16_t reason;
    bool sends_dc;
  };
  const Row rows[] = {
      {"reject by object", "38 @ 9f e5 04 00 02 68 69", CloseKind::kRejected, 4, true},
      {"no resources", "48 @ 9f e5 01 00", CloseKind::kNoResources, 1, false},
      {"no link", "48 @ 9f e5 29 00", CloseKind::kRejected, 41, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Connection* c = nsp.Connect(kPeer, Hex("00 19 00 19 00"), clock.now);
    ASSERT_TRUE(c);
    local_port = c->local_address();
    Sent();
    std::string hex = row.answer;
    hex.replace(hex.find('@'), 1, LE(local_port));
    FromPeer(Hex(hex));
    auto closed = events.Take("closed");
    ASSERT_EQ(closed.size(), 1u);
    EXPECT_EQ(closed[0].kind, row.kind);
    EXPECT_EQ(closed[0].reason, row.reason);
    auto dc = SentOfType(NspType::kDisconnectConfirm);
    EXPECT_EQ(dc.size(), row.sends_dc ? 1u : 0u);
    if (row.sends_dc) {
      EXPECT_EQ(dc[0].reason, kDcComplete);
    }
    EXPECT_EQ(nsp.size(), 0u);
  }
}

TEST_F(ConnectionTest, ReturnedConnectInitiateIsUnreachable) {
  Connection* c = nsp.Connect(kPeer, Hex("00 19 00 19 00"), clock.now);
  Bytes ci = routing.sent.at(0).wire;
  (void)c;
  nsp.Receive(kLocal, ci, true, clock.now);
  auto closed = events.Take("closed");
  ASSERT_EQ(closed.size(), 1u);
  EXPECT_EQ(closed[0].kind, CloseKind::kUnreachable);
  EXPECT_EQ(nsp.size(), 0u);
}

TEST_F(ConnectionTest, ConnectWithoutAdjacencyIsUnreachableAtOnce) {
  routing.up = false;
  nsp.Connect(kPeer, Hex("00 19 00 19 00"), clock.now);
  nsp.Settle(clock.now);
  auto closed = events.Take("closed");
  ASSERT_EQ(closed.size(), 1u);
  EXPECT_EQ(closed[0].kind, CloseKind::kUnreachable);
  EXPECT_EQ(nsp.size(), 0u);
}

TEST_F(ConnectionTest, UnansweredConnectIsRetransmittedThenTimesOut) {
  nsp.Connect(kPeer, Hex("00 19 00 19 00"), clock.now);
  Sent();
  Advance(seconds(29));
  auto retries = Sent();
  ASSERT_EQ(retries.size(), 5u);  // the limit, then it waits for the connect timer
  for (auto& m : retries) EXPECT_EQ(m.flags, msgflg::kRetransmittedCi);
  EXPECT_TRUE(events.Take("closed").empty());
  Advance(seconds(2));
  auto closed = events.Take("closed");
  ASSERT_EQ(closed.size(), 1u);
  EXPECT_EQ(closed[0].kind, CloseKind::kTimeout);
  EXPECT_EQ(nsp.counters().retransmissions, 5u);
}

TEST_F(ConnectionTest, IncomingConnectConfirmAndRetransmittedCi) {
  FromPeer(PeerInitiate(kPeerPort));
  Connection* c = events.last;
  ASSERT_TRUE(c);
  local_port = c->local_address();
  auto ca = Sent();
  ASSERT_EQ(ca.size(), 1u);
  EXPECT_EQ(ca[0].type, NspType::kConnectAck);
  EXPECT_EQ(ca[0].dst, kPeerPort);
  EXPECT_EQ(ToHex(events.Take("connect").at(0).data), "00 19 00 19 00");

  NspMessage again = PeerInitiate(kPeerPort);
  again.flags = msgflg::kRetransmittedCi;
  FromPeer(again);
  EXPECT_EQ(SentOfType(NspType::kConnectAck).size(), 1u);
  EXPECT_EQ(nsp.size(), 1u);  // the same link, not a second one

  Bytes accept = Hex("ff ff");
  c->Accept(accept, clock.now);
  auto cc = Sent();
  ASSERT_EQ(cc.size(), 1u);
  EXPECT_EQ(cc[0].type, NspType::kConnectConfirm);
  EXPECT_EQ(ToHex(cc[0].data), "ff ff");
  Advance(seconds(4));  // unacknowledged: sent again
  EXPECT_EQ(SentOfType(NspType::kConnectConfirm).size(), 1u);
  FromPeer(PeerAck(0));
  EXPECT_EQ(c->state(), State::kRun);
}

TEST_F(ConnectionTest, UnansweredIncomingConnectIsRejectedAsObjectFailed) {
  FromPeer(PeerInitiate(kPeerPort));
  Sent();
  Advance(seconds(31));
  auto di = SentOfType(NspType::kDisconnectInitiate);
  ASSERT_FALSE(di.empty());
  EXPECT_EQ(di[0].reason, 38);
}

TEST_F(ConnectionTest, SegmentsMessagesAndReportsProgress) {
  Connection* c = OpenOutgoing(FlowMode::kNone, 100);
  EXPECT_EQ(c->segment_size(), 100u);
  c->SendMessage(MessageOf(250), clock.now);
  c->SendMessage(MessageOf(0), clock.now);
  auto segs = Sent();
  ASSERT_EQ(segs.size(), 4u);
  uint8_t flags[] = {0x20, 0x00, 0x40, 0x60};
  size_t sizes[] = {100, 100, 50, 0};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(segs[i].flags, flags[i]);
    EXPECT_EQ(segs[i].segnum(), i + 1);
    EXPECT_FALSE(segs[i].dly());
    EXPECT_EQ(segs[i].data.size(), sizes[i]);
  }
  FromPeer(PeerAck(2));
  EXPECT_TRUE(events.Take("progress").empty());
  FromPeer(PeerAck(4));
  auto progress = events.Take("progress");
  ASSERT_EQ(progress.size(), 1u);
  EXPECT_EQ(progress[0].messages, 2u);
  EXPECT_EQ(progress[0].bytes, 250u);
  EXPECT_EQ(c->unacknowledged_segments(), 0u);
}

TEST_F(ConnectionTest, RetransmitsUpToTheLimitThenUnreachable) {
  Connection* c = OpenOutgoing();
  c->SendMessage(MessageOf(10), clock.now);
  Sent();
  Advance(seconds(60));
  EXPECT_EQ(SentOfType(NspType::kData).size(), 5u);
  auto closed = events.Take("closed");
  ASSERT_EQ(closed.size(), 1u);
  EXPECT_EQ(closed[0].kind, CloseKind::kUnreachable);
  EXPECT_EQ(nsp.size(), 0u);
}

TEST_F(ConnectionTest, AckProgressResetsTheRetryCountAndFeedsTheEstimate) {
  Connection* c = OpenOutgoing();
  for (int i = 0; i < 8; ++i) {
    c->SendMessage(MessageOf(10), clock.now);
    Advance(seconds(5));  // one retransmission each time (not measured), then the ack
    FromPeer(PeerAck(static_cast<uint16_t>(i + 1)));
  }
  EXPECT_EQ(c->state(), State::kRun);
  c->SendMessage(MessageOf(10), clock.now);
  Sent();
  clock.Advance(milliseconds(1200));
  FromPeer(PeerAck(9));
  // Estimate moved from 2 s toward 1.2 s by a quarter: 1.8 s.
  EXPECT_NEAR(std::chrono::duration<double>(c->round_trip()).count(), 1.8, 0.01);
}

TEST_F(ConnectionTest, NakRetransmitsTheMissingSegmentAtOnce) {
  Connection* c = OpenOutgoing(FlowMode::kNone, 10);
  c->SendMessage(MessageOf(30), clock.now);
  Sent();
  FromPeer(PeerAck(1, kNak));
  auto again = SentOfType(NspType::kData);
  ASSERT_EQ(again.size(), 1u);
  EXPECT_EQ(again[0].segnum(), 2);
  EXPECT_EQ(c->unacknowledged_segments(), 2u);
}

TEST_F(ConnectionTest, OutOfOrderSegmentsAreReassembledInOrder) {
  OpenOutgoing();
  FromPeer(PeerData(3, false, true, Hex("33")));
  auto nak = Sent();
  ASSERT_EQ(nak.size(), 1u);
  EXPECT_EQ(nak[0].type, NspType::kDataAck);
  EXPECT_EQ(nak[0].ack1.qualifier(), kNak);
  EXPECT_EQ(nak[0].ack1.number(), 0);
  FromPeer(PeerData(2, false, false, Hex("22")));
  EXPECT_TRUE(Sent().empty());  // one NAK per gap
  EXPECT_TRUE(events.Take("data").empty());
  FromPeer(PeerData(1, true, false, Hex("11")));
  auto data = events.Take("data");
  ASSERT_EQ(data.size(), 1u);
  EXPECT_EQ(ToHex(data[0].data), "11 22 33");
  Advance(milliseconds(0));
  auto ack = Sent();
  ASSERT_EQ(ack.size(), 1u);
  EXPECT_EQ(ack[0].ack1.number(), 3);
  // A duplicate is not delivered again but acknowledged again.
  FromPeer(PeerData(2, false, false, Hex("22")));
  Advance(milliseconds(0));
  EXPECT_EQ(Sent().size(), 1u);
  EXPECT_TRUE(events.Take("data").empty());
}

TEST_F(ConnectionTest, DelayedAckWaitsForTheHoldoffOnlyWhenAllowed) {
  OpenOutgoing();
  FromPeer(PeerData(1, true, true, Hex("01"), /*dly=*/true));
  Advance(milliseconds(99));
  EXPECT_TRUE(Sent().empty());
  Advance(milliseconds(1));
  EXPECT_EQ(Sent().size(), 1u);
  FromPeer(PeerData(2, true, true, Hex("02")));
  EXPECT_EQ(nsp.NextDeadline(), clock.now);  // owed now: goes at the next tick
  Connection* c = nsp.Find(local_port);
  c->SendMessage(MessageOf(1), clock.now);  // ... or rides on data going out first
  auto out = Sent();
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].ack1.number(), 2);
  Advance(milliseconds(0));
  EXPECT_TRUE(Sent().empty());
}

TEST_F(ConnectionTest, SegmentFlowControlNeedsCredits) {
  Connection* c = OpenOutgoing(FlowMode::kSegment, 10);
  c->SendMessage(MessageOf(50), clock.now);
  EXPECT_TRUE(Sent().empty());
  FromPeer(PeerLinkService(1, kNoChange, kDataRequest, 2));
  auto out = Sent();
  EXPECT_EQ(std::count_if(out.begin(), out.end(), [](auto& m) { return m.type == NspType::kData; }), 2);
  FromPeer(PeerLinkService(2, kNoChange, kDataRequest, 5));
  EXPECT_EQ(SentOfType(NspType::kData).size(), 3u);
  FromPeer(PeerLinkService(3, kNoChange, kDataRequest, -2));  // taken back
  c->SendMessage(MessageOf(10), clock.now);
  EXPECT_TRUE(SentOfType(NspType::kData).empty());
}

TEST_F(ConnectionTest, MessageFlowControlCountsWholeMessages) {
  Connection* c = OpenOutgoing(FlowMode::kMessage, 10);
  c->SendMessage(MessageOf(30), clock.now);
  c->SendMessage(MessageOf(5), clock.now);
  EXPECT_TRUE(Sent().empty());
  FromPeer(PeerLinkService(1, kNoChange, kDataRequest, 1));
  EXPECT_EQ(SentOfType(NspType::kData).size(), 3u);  // all of the first message
  FromPeer(PeerLinkService(2, kNoChange, kDataRequest, -1));  // invalid in message mode
  FromPeer(PeerLinkService(3, kNoChange, kDataRequest, 1));
  EXPECT_EQ(SentOfType(NspType::kData).size(), 1u);
}

TEST_F(ConnectionTest, XoffStopsNewDataAndXonResumes) {
  Connection* c = OpenOutgoing();
  FromPeer(PeerLinkService(1, kXoff, kDataRequest, 0));
  Sent();
  c->SendMessage(MessageOf(5), clock.now);
  EXPECT_TRUE(SentOfType(NspType::kData).empty());
  FromPeer(PeerLinkService(2, kXon, kDataRequest, 0));
  EXPECT_EQ(SentOfType(NspType::kData).size(), 1u);
}

TEST_F(ConnectionTest, InterruptCreditsBothWays) {
  Connection* c = OpenOutgoing();
  Bytes sixteen(16, 7);
  EXPECT_FALSE(c->SendInterrupt(Bytes(17, 1), clock.now));
  EXPECT_TRUE(c->SendInterrupt(sixteen, clock.now));
  EXPECT_FALSE(c->SendInterrupt(Hex("02"), clock.now));  // one at a time until credited
  auto sent = SentOfType(NspType::kInterrupt);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].data.size(), 16u);
  FromPeer(PeerAck(1, kAck, false));
  FromPeer(PeerLinkService(1, kNoChange, kInterruptRequest, 1));
  EXPECT_TRUE(c->SendInterrupt(Hex("02"), clock.now));

  // Their interrupt: delivered, and a new credit goes back carrying the ack.
  NspMessage intr = Peer(NspType::kInterrupt, msgflg::kInterrupt);
  intr.segfield = 2;
  Bytes payload = Hex("aa");
  intr.data = payload;
  Sent();
  FromPeer(intr);
  EXPECT_EQ(events.Take("interrupt").size(), 1u);
  auto ls = Sent();
  ASSERT_TRUE(ls.empty());  // our interrupt 2 is still in flight: the credit waits its turn
  FromPeer(PeerAck(2, kAck, false));
  ls = SentOfType(NspType::kLinkService);
  ASSERT_EQ(ls.size(), 1u);
  EXPECT_EQ(ls[0].fcval_int(), kInterruptRequest);
  EXPECT_EQ(ls[0].fcval, 1);
}

TEST_F(ConnectionTest, CrossSubchannelAcks) {
  Connection* c = OpenOutgoing();
  // The peer's link service is acknowledged on our next data segment, as a cross ack.
  FromPeer(PeerLinkService(1, kNoChange, kDataRequest, 0));
  c->SendMessage(MessageOf(1), clock.now);
  auto data = SentOfType(NspType::kData);
  ASSERT_EQ(data.size(), 1u);
  EXPECT_EQ(ToHex(Encode(data[0])), "60 9f e5 " + LE(c->local_address()) + " 01 a0 01 00 78");
  // Our interrupt is acknowledged by a cross ack on their data segment.
  ASSERT_TRUE(c->SendInterrupt(Hex("01"), clock.now));
  NspMessage seg = PeerData(1, true, true, Hex("61"));
  seg.ack1 = AckField::Make(1, kAck);
  seg.ack2 = AckField::Make(1, kCrossAck);
  FromPeer(seg);
  EXPECT_EQ(c->unacknowledged_segments(), 0u);
  EXPECT_TRUE(c->SendInterrupt(Hex("02"), clock.now) || c->interrupt_credit() == 0);
}

TEST_F(ConnectionTest, SequenceNumbersWrapAt4095) {
  Connection* c = OpenOutgoing();
  uint16_t last = 0;
  for (int i = 1; i <= 4100; ++i) {
    c->SendMessage(MessageOf(1), clock.now);
    auto out = SentOfType(NspType::kData);
    ASSERT_EQ(out.size(), 1u);
    if (i == 4095) {
      EXPECT_EQ(out[0].segnum(), 4095);
    }
    if (i == 4096) {
      EXPECT_EQ(out[0].segnum(), 0);
    }
    last = out[0].segnum();
    FromPeer(PeerAck(last));
    ASSERT_EQ(c->unacknowledged_segments(), 0u);
  }
  EXPECT_EQ(last, 4100 % 4096);
  // Receiving across the wrap.
  for (int i = 1; i <= 4097; ++i) FromPeer(PeerData(static_cast<uint16_t>(i & 0xfff), true, true, {}));
  EXPECT_EQ(events.Take("data").size(), 4097u);
}

TEST_F(ConnectionTest, InactivityProbe) {
  Connection* c = OpenOutgoing();
  Advance(seconds(299));
  EXPECT_TRUE(Sent().empty());
  Advance(seconds(1));
  auto ls = Sent();
  ASSERT_EQ(ls.size(), 1u);
  EXPECT_EQ(ToHex(Encode(ls[0])), "10 9f e5 " + LE(c->local_address()) + " 01 00 00 00");
  FromPeer(PeerAck(1, kAck, false));
  EXPECT_EQ(c->state(), State::kRun);
}

TEST_F(ConnectionTest, DisconnectInEveryState) {
  // CI: forgotten at once; a late CC is answered "no link".
  Connection* c = nsp.Connect(kPeer, Hex("00 19 00 19 00"), clock.now);
  local_port = c->local_address();
  c->Disconnect(0, {}, clock.now);
  nsp.Settle(clock.now);
  EXPECT_EQ(nsp.size(), 0u);
  Sent();
  FromPeer(PeerConfirm());
  auto nolink = Sent();
  ASSERT_EQ(nolink.size(), 1u);
  EXPECT_EQ(nolink[0].type, NspType::kDisconnectConfirm);
  EXPECT_EQ(nolink[0].reason, kDcNoLink);
  events.events.clear();

  // CR: reject sends DI with the reason; DC completes it.
  FromPeer(PeerInitiate(0x1111));
  c = events.last;
  local_port = c->local_address();
  Sent();
  c->Reject(34, Hex("01 02"), clock.now);
  auto di = Sent();
  ASSERT_EQ(di.size(), 1u);
  EXPECT_EQ(di[0].reason, 34);
  EXPECT_EQ(ToHex(di[0].data), "01 02");
  NspMessage dc = Peer(NspType::kDisconnectConfirm, msgflg::kDisconnectConfirm);
  dc.src = 0x1111;
  dc.reason = kDcComplete;
  FromPeer(dc);
  EXPECT_EQ(nsp.size(), 0u);

  // RUN with data in flight: the DI waits for the ack.
  c = OpenOutgoing();
  c->SendMessage(MessageOf(3), clock.now);
  c->Disconnect(0, {}, clock.now);
  EXPECT_FALSE(c->SendMessage(MessageOf(3), clock.now));
  EXPECT_TRUE(SentOfType(NspType::kDisconnectInitiate).empty());
  FromPeer(PeerAck(1));
  EXPECT_EQ(SentOfType(NspType::kDisconnectInitiate).size(), 1u);
  // DI state: retransmitted to the limit, then given up.
  Advance(seconds(60));
  EXPECT_EQ(SentOfType(NspType::kDisconnectInitiate).size(), 5u);
  EXPECT_EQ(nsp.size(), 0u);
  events.events.clear();

  // RUN, the peer disconnects: DC 42 and the reason upward.
  c = OpenIncoming();
  NspMessage peer_di = Peer(NspType::kDisconnectInitiate, msgflg::kDisconnectInitiate);
  peer_di.reason = 9;
  peer_di.has_data_ctl = true;
  FromPeer(peer_di);
  auto closed = events.Take("closed");
  ASSERT_EQ(closed.size(), 1u);
  EXPECT_EQ(closed[0].kind, CloseKind::kDisconnected);
  EXPECT_EQ(closed[0].reason, 9);
  auto ours = Sent();
  ASSERT_EQ(ours.size(), 1u);
  EXPECT_EQ(ours[0].reason, kDcComplete);

  // CC state: abort sends DI at once.
  FromPeer(PeerInitiate(0x2222));
  c = events.last;
  c->Accept({}, clock.now);
  Sent();
  c->Abort(9, {}, clock.now);
  di = SentOfType(NspType::kDisconnectInitiate);
  ASSERT_EQ(di.size(), 1u);
  EXPECT_EQ(di[0].dst, 0x2222);
}

TEST_F(ConnectionTest, ConnectionLimitAndUnknownPorts) {
  for (uint16_t i = 1; i <= 4; ++i) FromPeer(PeerInitiate(i));
  EXPECT_EQ(nsp.size(), 4u);
  Sent();
  FromPeer(PeerInitiate(5));
  auto refused = Sent();
  ASSERT_EQ(refused.size(), 1u);
  EXPECT_EQ(ToHex(Encode(refused[0])), "48 05 00 00 00 01 00");
  EXPECT_EQ(nsp.Connect(kPeer, {}, clock.now), nullptr);
  EXPECT_EQ(nsp.counters().connects_refused, 1u);

  // Data for a port that does not exist: "no link"; acks for one: silence.
  local_port = 0x4242;
  FromPeer(PeerData(1, true, true, Hex("00")));
  auto nolink = Sent();
  ASSERT_EQ(nolink.size(), 1u);
  EXPECT_EQ(nolink[0].reason, kDcNoLink);
  FromPeer(PeerAck(1));
  EXPECT_TRUE(Sent().empty());
}

TEST_F(ConnectionTest, ReceiveBusyHoldsThePeerBack) {
  Connection* c = OpenOutgoing();
  c->SetReceiveBusy(true, false, clock.now);
  auto xoff = SentOfType(NspType::kLinkService);
  ASSERT_EQ(xoff.size(), 1u);
  EXPECT_EQ(xoff[0].fcmod(), kXoff);
  FromPeer(PeerAck(1, kAck, false));
  c->SetReceiveBusy(true, true, clock.now);
  FromPeer(PeerData(1, true, true, Hex("01")));
  Advance(milliseconds(1));
  EXPECT_TRUE(events.Take("data").empty());  // dropped unacknowledged
  EXPECT_TRUE(SentOfType(NspType::kDataAck).empty());
  c->SetReceiveBusy(false, false, clock.now);
  auto xon = SentOfType(NspType::kLinkService);
  ASSERT_EQ(xon.size(), 1u);
  EXPECT_EQ(xon[0].fcmod(), kXon);
  FromPeer(PeerData(1, true, true, Hex("01")));
  EXPECT_EQ(events.Take("data").size(), 1u);
}

class CreditReceiverTest : public NspFixture {
 protected:
  static NspSettings Segmented() {
    NspSettings s = TestSettings();
    s.receive_flow = FlowMode::kSegment;
    s.receive_credits = 4;
    return s;
  }
  CreditReceiverTest() : NspFixture(Segmented()) {}
};

TEST_F(CreditReceiverTest, GrantsCreditsAndTopsThemUp) {
  Connection* c = nsp.Connect(kPeer, {}, clock.now);
  local_port = c->local_address();
  auto ci = Sent();
  EXPECT_EQ(ci.at(0).flow(), FlowMode::kSegment);
  FromPeer(PeerConfirm());
  auto ls = SentOfType(NspType::kLinkService);
  ASSERT_EQ(ls.size(), 1u);
  EXPECT_EQ(ls[0].fcval, 4);
  FromPeer(PeerAck(1, kAck, false));
  FromPeer(PeerData(1, true, true, {}));
  EXPECT_TRUE(SentOfType(NspType::kLinkService).empty());  // 3 left: enough
  FromPeer(PeerData(2, true, true, {}));
  ls = SentOfType(NspType::kLinkService);
  ASSERT_EQ(ls.size(), 1u);
  EXPECT_EQ(ls[0].fcval, 2);  // back to 4 outstanding
}

TEST_F(ConnectionTest, HostileInputStaysBounded) {
  // A flood of connect initiates from ever new link addresses.
  for (uint32_t i = 1; i < 20000; ++i) FromPeer(PeerInitiate(static_cast<uint16_t>(i)));
  EXPECT_LE(nsp.size(), 4u);
  Sent();
  // Lengths that run past the message, garbage of every size.
  uint64_t before = nsp.counters().malformed;
  for (size_t len = 0; len < 40; ++len) {
    Bytes junk(len, 0xff);
    if (!junk.empty()) junk[0] = 0x28;
    FromPeer(junk);
  }
  EXPECT_GT(nsp.counters().malformed, before);
  // Nobody answers the links the flood made: they are rejected and forgotten.
  Advance(seconds(120));
  EXPECT_EQ(nsp.size(), 0u);
  // Segments far ahead of the window are not kept.
  Connection* c = OpenIncoming();
  for (uint16_t seq = 100; seq < 2000; ++seq) FromPeer(PeerData(seq, true, true, Bytes(500, 1)));
  EXPECT_EQ(c->state(), State::kRun);
  EXPECT_TRUE(events.Take("data").empty());
}

}  // namespace
}  // namespace decnet::test
