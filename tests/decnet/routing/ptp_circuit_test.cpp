// The point-to-point start-up, hellos and listen timer, driven with a fake link and a
// fake clock.
#include <gtest/gtest.h>

#include "fakes.h"
#include "routing/ptp_circuit.h"

namespace decnet {
namespace {

using testing::FakeLink;
using testing::Hex;
using testing::RecordingReceiver;

const NodeAddress kSelf = NodeAddress::Of(1, 2);
const NodeAddress kRouter = NodeAddress::Of(1, 1);

Bytes RouterInit(NodeAddress source = kRouter, bool wants_verification = false, uint16_t timer = 60) {
  PtpInit init;
  init.source = source;
  init.node_type = NodeType::kL1Router;
  init.verification_requested = wants_verification;
  init.hello_timer = timer;
  Bytes out;
  Encode(init, out);
  return out;
}

Bytes Hello(NodeAddress source = kRouter) {
  Bytes out;
  Encode(PtpHello{source, Bytes(10, 0xaa)}, out);
  return out;
}

class PtpCircuitTest : public ::testing::Test {
 protected:
  PtpCircuitTest() : link(false) {}
  void Build(PtpSettings settings) {
    settings.self = kSelf;
    circuit = std::make_unique<PtpCircuit>(link, receiver, settings);
    link.Start(*circuit, now, nullptr);
  }
  void Feed(const Bytes& packet) { circuit->OnPacket(packet, MacAddress{}, now); }
  void Advance(Duration d) {
    // Step through every deadline on the way, as the event loop would.
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
  std::unique_ptr<PtpCircuit> circuit;
};

TEST_F(PtpCircuitTest, StartsAsAnEndNodeAndRunsOnTheRoutersInit) {
  Build({});
  circuit->OnLinkUp(now);
  ASSERT_EQ(link.sent.size(), 1u);
  EXPECT_EQ(link.sent[0].packet, Hex("01 02 04 03 40 02 02 00 00 3c 00 00"));
  EXPECT_EQ(circuit->state(), PtpCircuit::State::kWaitInit);
  EXPECT_FALSE(circuit->SendData(kRouter, Hex("04 01 00 02 00 00 80"), false));

  Feed(RouterInit());
  EXPECT_TRUE(circuit->adjacency_up());
  EXPECT_EQ(circuit->neighbour(), kRouter);
  EXPECT_EQ(circuit->counters().adjacency_ups, 1u);
  EXPECT_EQ(circuit->Status().state, "on");
  EXPECT_EQ(circuit->Status().adjacent_type, "routing IV");
  EXPECT_EQ(circuit->max_nsp_message(), 570u);
}

TEST_F(PtpCircuitTest, SendsHellosEveryHelloTimeAndDataWithAShortHeader) {
  Build({});
  circuit->OnLinkUp(now);
  Feed(RouterInit());
  link.sent.clear();
  // Keep the neighbour alive with its hellos while three of ours go out.
  for (int i = 0; i < 3; ++i) {
    Advance(seconds(60));
    Feed(Hello());
  }
  EXPECT_EQ(link.SentOfType(0x05).size(), 3u);
  EXPECT_EQ(link.SentOfType(0x05)[0], Hex("05 02 04 0a aa aa aa aa aa aa aa aa aa aa"));
  EXPECT_TRUE(circuit->adjacency_up());

  ASSERT_TRUE(circuit->SendData(kRouter, Hex("24 1b 99"), true));
  EXPECT_EQ(link.sent.back().packet, Hex("0a 01 04 02 04 00 24 1b 99"));
}

TEST_F(PtpCircuitTest, ListenTimerDropsTheAdjacencyAndRestartsTheLink) {
  Build({});
  circuit->OnLinkUp(now);
  Feed(RouterInit(kRouter, false, 10));  // the router's hello time: 10 s, so we listen 21 s
  Advance(seconds(20));
  EXPECT_TRUE(circuit->adjacency_up());
  Feed(Hello());
  Advance(seconds(20));
  EXPECT_TRUE(circuit->adjacency_up()) << "a hello restarts the listen timer";
  Advance(seconds(2));
  EXPECT_FALSE(circuit->adjacency_up());
  EXPECT_EQ(link.restarts, 1);
  EXPECT_EQ(circuit->counters().adjacency_downs, 1u);

  // The link comes back: the start-up runs again and the adjacency recovers.
  link.sent.clear();
  circuit->OnLinkUp(now);
  EXPECT_EQ(link.SentOfType(0x01).size(), 1u);
  Feed(RouterInit());
  EXPECT_TRUE(circuit->adjacency_up());
  EXPECT_EQ(circuit->counters().adjacency_ups, 2u);
}

TEST_F(PtpCircuitTest, NoInitWithinTheHelloTimeRestartsTheLink) {
  Build({});
  circuit->OnLinkUp(now);
  Feed(Hello());  // ignored before the neighbour is known
  Advance(seconds(59));
  EXPECT_EQ(link.restarts, 0);
  Advance(seconds(1));
  EXPECT_EQ(link.restarts, 1);
  EXPECT_EQ(circuit->counters().init_failures, 1u);
  EXPECT_EQ(circuit->state(), PtpCircuit::State::kLinkDown);
}

TEST_F(PtpCircuitTest, AnInitWhileRunningMeansTheNeighbourRestarted) {
  Build({});
  circuit->OnLinkUp(now);
  Feed(RouterInit());
  link.sent.clear();
  Feed(RouterInit());
  EXPECT_TRUE(circuit->adjacency_up());
  EXPECT_EQ(circuit->counters().adjacency_downs, 1u);
  EXPECT_EQ(circuit->counters().adjacency_ups, 2u);
  EXPECT_EQ(link.SentOfType(0x01).size(), 1u) << "our Init answers the neighbour's new start-up";
}

TEST_F(PtpCircuitTest, UnusableNeighboursAreRefused) {
  struct Case {
    const char* name;
    Bytes init;
  } cases[] = {
      {"another area", RouterInit(NodeAddress::Of(2, 1))},
      {"our own address", RouterInit(kSelf)},
      {"Phase III", Hex("01 01 00 02 40 02 01 03 00 00")},
      {"blocking asked", Hex("01 01 04 0a 40 02 02 00 00 3c 00 00")},
  };
  for (const auto& c : cases) {
    link.restarts = 0;
    Build({});
    circuit->OnLinkUp(now);
    Feed(c.init);
    EXPECT_FALSE(circuit->adjacency_up()) << c.name;
  }
}

TEST_F(PtpCircuitTest, AnswersVerificationWhenAsked) {
  PtpSettings settings;
  settings.verification = Hex("50 41 53 53");
  Build(settings);
  circuit->OnLinkUp(now);
  Feed(RouterInit(kRouter, true));
  auto verifies = link.SentOfType(0x03);
  ASSERT_EQ(verifies.size(), 1u);
  EXPECT_EQ(verifies[0], Hex("03 02 04 04 50 41 53 53"));
  EXPECT_TRUE(circuit->adjacency_up());
}

TEST_F(PtpCircuitTest, InsistsOnTheRightVerificationWhenItAsks) {
  PtpSettings settings;
  settings.required_verification = Hex("4b 45 59");
  Build(settings);
  circuit->OnLinkUp(now);
  EXPECT_EQ(link.sent[0].packet[3], 0x07) << "end node, verification wanted";
  Feed(RouterInit());
  EXPECT_EQ(circuit->state(), PtpCircuit::State::kWaitVerify);
  Feed(Hello());
  EXPECT_FALSE(circuit->adjacency_up());
  Bytes good;
  Encode(PtpVerify{kRouter, Hex("4b 45 59")}, good);
  Feed(good);
  EXPECT_TRUE(circuit->adjacency_up());

  // A wrong value fails the start-up and restarts the link.
  Build(settings);
  link.restarts = 0;
  circuit->OnLinkUp(now);
  Feed(RouterInit());
  Bytes wrong;
  Encode(PtpVerify{kRouter, Hex("4b 45 58")}, wrong);
  Feed(wrong);
  EXPECT_FALSE(circuit->adjacency_up());
  EXPECT_EQ(link.restarts, 1);

  // No answer within the hello time: the same.
  Build(settings);
  link.restarts = 0;
  circuit->OnLinkUp(now);
  Feed(RouterInit());
  Advance(seconds(61));
  EXPECT_EQ(link.restarts, 1);
}

TEST_F(PtpCircuitTest, DataForUsGoesUpAndReturnedPacketsAreMarked) {
  Build({});
  circuit->OnLinkUp(now);
  Feed(RouterInit());
  Feed(Hex("02 02 04 01 04 00 24 1b 99"));          // to us from the router
  Feed(Hex("12 02 04 07 04 00 18 00 00 1b 99"));    // our CI to 1.7 came back
  Feed(Hex("02 09 04 01 04 00 24 1b 99"));          // for 1.9: not ours
  ASSERT_EQ(receiver.messages.size(), 2u);
  EXPECT_EQ(receiver.messages[0].source, kRouter);
  EXPECT_EQ(receiver.messages[0].data, Hex("24 1b 99"));
  EXPECT_FALSE(receiver.messages[0].returned);
  EXPECT_EQ(receiver.messages[1].source, NodeAddress::Of(1, 7));
  EXPECT_TRUE(receiver.messages[1].returned);
  EXPECT_EQ(circuit->counters().returned, 1u);
  EXPECT_EQ(circuit->counters().not_for_us, 1u);
  EXPECT_EQ(circuit->counters().malformed, 0u);
}

TEST_F(PtpCircuitTest, HostileInputIsCountedAndDropped) {
  Build({});
  circuit->OnLinkUp(now);
  Feed(RouterInit());
  const Bytes garbage[] = {
      Hex("05 01 04 05 aa bb aa aa aa"),  // hello with bad test data
      Hex("05 07 04 01 aa"),              // hello from someone else
      Hex("02 02 04"),                    // data header cut short
      Hex("02 02 04 01 04 00"),           // data with no NSP message
      Hex("07 01 04 00 01 00 03 00 00 00"),  // routing message, bad checksum
      Hex("ff"),                          // padding that eats everything
      Hex("41 00 00"),                    // nothing we know
      Hex("0b 02 00"),                    // a LAN message cut short
  };
  for (const auto& g : garbage) Feed(g);
  EXPECT_EQ(circuit->counters().malformed, std::size(garbage));
  EXPECT_TRUE(receiver.messages.empty());
  EXPECT_TRUE(circuit->adjacency_up());
}

}  // namespace
}  // namespace decnet
