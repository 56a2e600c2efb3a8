// Two session layers over a link that drops 10 %, duplicates 5 % and reorders:
// a thousand messages of random lengths (empty ones included) each way, and a
// stream of interrupts, arrive exactly once, in order and intact. The clock is
// fake, so the retransmission timeouts cost no real time.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "session/endpoints.h"
#include "session_test_support.h"

namespace decnet::test {
namespace {

constexpr NodeAddress kA = NodeAddress::Of(1, 1);
constexpr NodeAddress kB = NodeAddress::Of(1, 2);

// Opens a link from A to B's object 42: the connect blocks on a helper thread while
// this thread runs the network.
std::pair<std::unique_ptr<Link>, std::unique_ptr<Link>> OpenLink(FakeNet& net, SessionLayer& a, Listener& listener) {
  std::unique_ptr<Link> outgoing, incoming;
  std::atomic<bool> connected{false};
  std::thread caller([&] {
    ConnectRequest request;
    request.node = kB;
    request.destination.object = 42;
    request.source = EndUser{1, 0, 0, 0, "TESTER"};
    Outcome outcome;
    outgoing = a.Connect(request, std::chrono::seconds(20), &outcome);
    connected = true;
  });
  net.RunUntil([&] {
    if (!incoming) {
      if (auto pending = listener.Accept(std::chrono::milliseconds(0))) incoming = pending->Confirm();
    }
    return connected.load() && incoming;
  });
  caller.join();
  return {std::move(outgoing), std::move(incoming)};
}

std::vector<Message> RandomMessages(std::mt19937& rng, size_t count, size_t max_length) {
  std::vector<Message> out;
  std::uniform_int_distribution<size_t> length(0, max_length);
  std::uniform_int_distribution<int> byte(0, 255);
  for (size_t i = 0; i < count; ++i) {
    Message m(i % 10 == 0 ? 0 : length(rng));  // every tenth one empty
    for (auto& b : m) b = static_cast<uint8_t>(byte(rng));
    out.push_back(std::move(m));
  }
  return out;
}

TEST(LossyLink, EveryMessageArrivesOnceInOrderOnBothSubchannels) {
  FakeNet net({.drop = 0.10, .duplicate = 0.05, .max_delay_ms = 20}, 7);
  SessionLayer& a = net.AddNode(kA);
  SessionLayer& b = net.AddNode(kB);
  auto listener = b.Bind(42, "", nullptr);
  ASSERT_TRUE(listener);
  auto [link_a, link_b] = OpenLink(net, a, *listener);
  ASSERT_TRUE(link_a);
  ASSERT_TRUE(link_b);
  auto* ia = dynamic_cast<SessionLink*>(link_a.get());
  auto* ib = dynamic_cast<SessionLink*>(link_b.get());

  std::mt19937 rng(99);
  const auto to_b = RandomMessages(rng, 1000, 1800);
  const auto to_a = RandomMessages(rng, 1000, 600);
  const auto interrupts = RandomMessages(rng, 200, 16);
  size_t sent_ab = 0, sent_ba = 0, sent_int = 0, got_b = 0, got_a = 0, got_int = 0;
  const auto zero = std::chrono::milliseconds(0);
  Message m;
  bool intact = true;
  auto done = [&] {
    while (sent_ab < to_b.size() && link_a->Send(to_b[sent_ab], zero)) ++sent_ab;
    while (sent_ba < to_a.size() && link_b->Send(to_a[sent_ba], zero)) ++sent_ba;
    while (sent_int < interrupts.size() && ia->SendInterrupt(interrupts[sent_int], zero)) ++sent_int;
    while (link_b->Receive(m, zero)) intact &= got_b < to_b.size() && m == to_b[got_b++];
    while (link_a->Receive(m, zero)) intact &= got_a < to_a.size() && m == to_a[got_a++];
    while (ib->ReceiveInterrupt(m, zero)) intact &= got_int < interrupts.size() && m == interrupts[got_int++];
    return !intact || (got_b == to_b.size() && got_a == to_a.size() && got_int == interrupts.size());
  };
  auto started = std::chrono::steady_clock::now();
  ASSERT_TRUE(net.RunUntil(done, std::chrono::hours(10)));
  EXPECT_TRUE(intact);
  // Nothing more turns up later: no message was delivered twice.
  net.RunUntil([] { return false; }, seconds(60));
  EXPECT_FALSE(link_b->Receive(m, zero));
  EXPECT_FALSE(link_a->Receive(m, zero));
  EXPECT_FALSE(ib->ReceiveInterrupt(m, zero));
  EXPECT_GT(net.dropped, 100u);
  EXPECT_GT(net.duplicated, 50u);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));

  link_a->Disconnect();
  net.RunUntil([&] { return !link_b->Receive(m, zero) && a.active_links() == 0 && b.active_links() == 0; });
  Outcome last = link_b->Receive(m, zero);
  EXPECT_EQ(last.error, LinkError::kDisconnected);
  EXPECT_EQ(last.reason, kReasonNormal);
}

}  // namespace
}  // namespace decnet::test
