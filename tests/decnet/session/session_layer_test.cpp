// Session control through the blocking API: binding by number and name, rejects
// and their reasons, disconnect data, the connection limit, a reader that stops
// reading, a peer that stops answering, shutdown, and MIRROR.
#include "session/session_layer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

#include "session/endpoints.h"
#include "session/mirror.h"
#include "session_test_support.h"

namespace decnet::test {
namespace {

constexpr NodeAddress kA = NodeAddress::Of(1, 1);
constexpr NodeAddress kB = NodeAddress::Of(1, 2);
constexpr auto kZero = std::chrono::milliseconds(0);

ConnectRequest To(EndUser destination, Message user_data = {}) {
  ConnectRequest r;
  r.node = kB;
  r.destination = std::move(destination);
  r.source = EndUser{1, 0, 0, 0, "CALLER"};
  r.user_data = std::move(user_data);
  return r;
}
EndUser Object(uint8_t number) { return EndUser{0, number, 0, 0, ""}; }
EndUser Named(const std::string& name) { return EndUser{1, 0, 0, 0, name}; }

class SessionLayerTest : public ::testing::Test {
 protected:
  SessionLayerTest() : a(net.AddNode(kA)), b(net.AddNode(kB, BSettings())) {}
  static SessionSettings BSettings() {
    SessionSettings s;
    s.max_links = 3;
    s.receive_high_water = 4096;
    s.receive_limit = 8192;  // raised by the layer to 4096 + 64 segments' worth
    return s;
  }

  // Runs a blocking Connect on a helper thread while this thread runs the network;
  // `answer` plays the listener's side once a connect is pending.
  std::unique_ptr<Link> ConnectVia(const ConnectRequest& request, Outcome* outcome,
                                   const std::function<void()>& answer = [] {}) {
    std::unique_ptr<Link> link;
    std::atomic<bool> returned{false};
    // The caller's thread is in real time: jumping the clock ahead of it could run
    // timers out while it is merely being scheduled.
    bool jumping = !net.real_time;
    net.real_time = true;
    std::thread caller([&] {
      link = a.Connect(request, std::chrono::seconds(10), outcome);
      returned = true;
    });
    net.RunUntil([&] {
      answer();
      return returned.load();
    });
    caller.join();
    net.real_time = !jumping;
    return link;
  }

  FakeNet net;
  SessionLayer& a;
  SessionLayer& b;
};

TEST_F(SessionLayerTest, RejectsWithTheRightReasons) {
  auto listener = b.Bind(27, "MAIL", nullptr);
  ASSERT_TRUE(listener);
  Outcome outcome;
  EXPECT_FALSE(ConnectVia(To(Object(99)), &outcome));
  EXPECT_EQ(outcome.error, LinkError::kRejected);
  EXPECT_EQ(outcome.reason, kReasonNoSuchObject);
  EXPECT_FALSE(ConnectVia(To(Named("NOBODY")), &outcome));
  EXPECT_EQ(outcome.reason, kReasonNoSuchObject);

  // By name, without regard to case; the object sees the caller's connect data.
  std::unique_ptr<PendingConnect> seen;
  auto link = ConnectVia(To(Named("mail"), Message{1, 2, 3}), &outcome, [&] {
    if (seen) return;
    seen = listener->Accept(kZero);
    if (seen) seen->Reject(kReasonAccessRejected, Message{0x42});
  });
  EXPECT_FALSE(link);
  EXPECT_EQ(outcome.error, LinkError::kRejected);
  EXPECT_EQ(outcome.reason, kReasonAccessRejected);
  EXPECT_EQ(outcome.data, Message{0x42});
  ASSERT_TRUE(seen);
  EXPECT_EQ(seen->remote(), kA);
  EXPECT_EQ(seen->source().name, "CALLER");
  EXPECT_EQ(seen->user_data(), (Message{1, 2, 3}));

  // Fields past their limits never leave the node.
  ConnectRequest bad = To(Object(27), Message(17, 0));
  EXPECT_FALSE(a.Connect(bad, kZero, &outcome));
  EXPECT_EQ(outcome.error, LinkError::kBadArgument);
  bad = To(Object(27));
  bad.node = NodeAddress{};
  EXPECT_FALSE(a.Connect(bad, kZero, &outcome));
  EXPECT_EQ(outcome.error, LinkError::kBadArgument);
}

TEST_F(SessionLayerTest, BindingIsExclusiveUntilUnbound) {
  Outcome outcome;
  auto first = b.Bind(27, "MAIL", &outcome);
  ASSERT_TRUE(first);
  EXPECT_FALSE(b.Bind(27, "OTHER", &outcome));
  EXPECT_EQ(outcome.error, LinkError::kBadArgument);
  EXPECT_FALSE(b.Bind(0, "mail", &outcome));
  EXPECT_FALSE(b.Bind(0, "", &outcome));
  EXPECT_FALSE(b.Bind(0, std::string(17, 'X'), &outcome));
  first.reset();
  EXPECT_TRUE(b.Bind(27, "MAIL", &outcome));
}

TEST_F(SessionLayerTest, DataThenDisconnectWithReasonAndData) {
  auto listener = b.Bind(42, "", nullptr);
  std::unique_ptr<Link> incoming;
  Outcome outcome;
  auto link = ConnectVia(To(Object(42)), &outcome, [&] {
    if (incoming) return;
    if (auto p = listener->Accept(kZero)) incoming = p->Confirm(Message{7, 7});
  });
  ASSERT_TRUE(link);
  ASSERT_TRUE(incoming);
  EXPECT_EQ(link->accept_data(), (Message{7, 7}));
  EXPECT_EQ(link->remote(), kB);
  EXPECT_EQ(incoming->remote(), kA);
  ASSERT_TRUE(link->Send(Message{1}, kZero));
  ASSERT_TRUE(link->Send(Message{}, kZero));
  link->Disconnect(kReasonNormal, Message{9});
  EXPECT_EQ(link->Send(Message{2}, kZero).error, LinkError::kDisconnected);
  std::vector<Message> got;
  Outcome last;
  net.RunUntil([&] {
    Message m;
    last = incoming->Receive(m, kZero);
    if (last) got.push_back(m);
    return last.error != LinkError::kTimeout && !last;
  });
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[1], Message{});
  EXPECT_EQ(last.error, LinkError::kDisconnected);
  EXPECT_EQ(last.reason, kReasonNormal);
  EXPECT_EQ(last.data, Message{9});
  net.RunUntil([&] { return a.active_links() == 0 && b.active_links() == 0; });
}

TEST_F(SessionLayerTest, ConnectionLimitAndBacklog) {
  auto listener = b.Bind(42, "", nullptr);
  std::vector<std::unique_ptr<Link>> open;
  for (int i = 0; i < 3; ++i) {
    std::unique_ptr<Link> incoming;
    Outcome outcome;
    auto link = ConnectVia(To(Object(42)), &outcome, [&] {
      if (!incoming) {
        if (auto p = listener->Accept(kZero)) incoming = p->Confirm();
      }
    });
    ASSERT_TRUE(link);
    open.push_back(std::move(link));
    open.push_back(std::move(incoming));
  }
  Outcome outcome;
  EXPECT_FALSE(ConnectVia(To(Object(42)), &outcome));
  EXPECT_EQ(outcome.error, LinkError::kNoResources);
  EXPECT_EQ(b.active_links(), 3u);
}

TEST_F(SessionLayerTest, AReaderThatStopsHoldsTheSenderBackWithoutLoss) {
  auto listener = b.Bind(42, "", nullptr);
  std::unique_ptr<Link> incoming;
  Outcome outcome;
  auto link = ConnectVia(To(Object(42)), &outcome, [&] {
    if (!incoming) {
      if (auto p = listener->Accept(kZero)) incoming = p->Confirm();
    }
  });
  ASSERT_TRUE(link && incoming);
  // The receiver reads nothing for ten virtual minutes: the sender must block, the
  // link must stay up, and the receiver's queue must stay near its limit.
  size_t sent = 0;
  net.RunUntil(
      [&] {
        while (sent < 5000 && link->Send(Message(100, static_cast<uint8_t>(sent)), kZero)) ++sent;
        return false;
      },
      seconds(600));
  // At most the receive limit (about 44 KiB) and the send limit (64 KiB), in 164-byte units.
  EXPECT_LT(sent, 700u);
  EXPECT_GT(sent, 40u);
  EXPECT_EQ(link->Receive(*std::make_unique<Message>(), kZero).error, LinkError::kTimeout);  // still up
  size_t received = 0;
  bool in_order = true;
  net.RunUntil([&] {
    while (sent < 5000 && link->Send(Message(100, static_cast<uint8_t>(sent)), kZero)) ++sent;
    Message m;
    while (incoming->Receive(m, kZero)) in_order &= m == Message(100, static_cast<uint8_t>(received++));
    return received == 5000;
  });
  EXPECT_EQ(received, 5000u);
  EXPECT_TRUE(in_order);
}

TEST_F(SessionLayerTest, APeerThatNeverAnswersEndsAsUnreachable) {
  auto listener = b.Bind(42, "", nullptr);
  std::unique_ptr<Link> incoming;
  Outcome outcome;
  auto link = ConnectVia(To(Object(42)), &outcome, [&] {
    if (!incoming) {
      if (auto p = listener->Accept(kZero)) incoming = p->Confirm();
    }
  });
  ASSERT_TRUE(link);
  net.SetFaults({.drop = 1.0});
  size_t sent = 0;
  Outcome last;
  net.RunUntil([&] {
    while (link->Send(Message(1000, 1), kZero)) ++sent;
    Message m;
    last = link->Receive(m, kZero);
    return last.error != LinkError::kTimeout;
  });
  EXPECT_EQ(last.error, LinkError::kUnreachable);
  EXPECT_LT(sent, 70u);  // Send blocked at the send limit instead of queueing on
  EXPECT_EQ(a.active_links(), 0u);
}

TEST_F(SessionLayerTest, ShutdownWakesEveryWaiter) {
  net.real_time = true;
  auto listener = b.Bind(42, "", nullptr);
  auto waiting = std::async(std::launch::async, [&] {
    Outcome o;
    listener->Accept(std::chrono::seconds(30), &o);
    return o.error;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  b.Shutdown();
  b.Shutdown();
  EXPECT_EQ(waiting.get(), LinkError::kNotRunning);
  Outcome o;
  EXPECT_FALSE(b.Bind(43, "", &o));
  EXPECT_EQ(o.error, LinkError::kNotRunning);
}

TEST_F(SessionLayerTest, MirrorAnswersLoopMessages) {
  net.real_time = true;
  MirrorServer mirror(b.Bind(kMirrorObject, "MIRROR", nullptr));
  Outcome outcome;
  std::unique_ptr<Link> link;
  std::atomic<bool> done{false};
  std::vector<Message> answers;
  std::thread user([&] {
    link = a.Connect(To(Named("mirror")), std::chrono::seconds(10), &outcome);
    if (link) {
      for (const Message& m : {Message{0, 'h', 'i'}, Message{0}, Message{5, 1}}) {
        Message answer;
        if (!link->Send(m, std::chrono::seconds(5)) || !link->Receive(answer, std::chrono::seconds(5))) break;
        answers.push_back(answer);
      }
      link->Disconnect();
    }
    done = true;
  });
  net.RunUntil([&] { return done.load(); }, seconds(20));
  user.join();
  ASSERT_TRUE(link) << static_cast<int>(outcome.error);
  EXPECT_EQ(link->accept_data(), (Message{0xff, 0xff}));
  ASSERT_EQ(answers.size(), 3u);
  EXPECT_EQ(answers[0], (Message{1, 'h', 'i'}));
  EXPECT_EQ(answers[1], (Message{1}));
  EXPECT_EQ(answers[2], (Message{0xff}));
  EXPECT_EQ(MirrorServer::Answer({}), Message{0xff});
  net.RunUntil([&] { return b.active_links() == 0; }, seconds(5));
}

}  // namespace
}  // namespace decnet::test
