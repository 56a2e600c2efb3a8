// Two whole nodes in one process over Multinet TCP on loopback: the adjacency comes
// up on both sides, MIRROR answers loops both ways, and the connecting side finds the
// listener again after it restarts.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "decnet/node.h"

namespace decnet {
namespace {

using namespace std::chrono_literals;

// A loopback port nobody is using right now.
uint16_t FreePort() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

NodeConfig Config(unsigned node, const char* name, bool listen, uint16_t port) {
  NodeConfig config;
  config.address = NodeAddress::Of(1, node);
  config.name = name;
  config.circuit.kind = listen ? CircuitKind::kMultinetTcpListen : CircuitKind::kMultinetTcpConnect;
  config.circuit.local_host = "127.0.0.1";
  config.circuit.remote_host = "127.0.0.1";
  config.circuit.local_port = port;
  config.circuit.remote_port = port;
  config.nodes.Add("ALPHA", NodeAddress::Of(1, 1));
  config.nodes.Add("BRAVO", NodeAddress::Of(1, 2));
  return config;
}

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (condition()) return true;
    std::this_thread::sleep_for(10ms);
  }
  return condition();
}

bool Adjacent(const Node& node, NodeAddress other) {
  NodeStatus s = node.Status();
  return s.circuit.state == "on" && s.circuit.adjacent == other;
}

// One MIRROR loop: the answer is 0x01 and the data back.
void ExpectLoop(Node& from, NodeAddress to, size_t length) {
  ConnectRequest request;
  request.node = to;
  request.destination.object = 25;
  request.source.format = 1;
  request.source.name = "LOOPER";
  Outcome outcome;
  auto link = from.Connect(request, 5000ms, &outcome);
  ASSERT_TRUE(link) << "connect failed: " << static_cast<int>(outcome.error);
  Message data(length + 1);
  data[0] = 0;
  for (size_t i = 1; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(link->Send(data, 5000ms));
    Message answer;
    ASSERT_TRUE(link->Receive(answer, 5000ms));
    ASSERT_EQ(answer.size(), data.size());
    EXPECT_EQ(answer[0], 1);
    EXPECT_TRUE(std::equal(answer.begin() + 1, answer.end(), data.begin() + 1));
  }
  link->Disconnect();
}

TEST(TwoNodes, AdjacencyAndMirrorLoopsBothWaysOverMultinetTcp) {
  uint16_t port = FreePort();
  std::string error;
  auto alpha = Node::Start(Config(1, "ALPHA", true, port), &error);
  ASSERT_TRUE(alpha) << error;
  auto bravo = Node::Start(Config(2, "BRAVO", false, port), &error);
  ASSERT_TRUE(bravo) << error;

  ASSERT_TRUE(WaitFor([&] { return Adjacent(*alpha, NodeAddress::Of(1, 2)) && Adjacent(*bravo, NodeAddress::Of(1, 1)); },
                      5000ms));
  EXPECT_EQ(alpha->Status().circuit.adjacent_type, "nonrouting IV");
  EXPECT_EQ(alpha->Status().circuit.name, "MUL-0");

  ExpectLoop(*bravo, NodeAddress::Of(1, 1), 256);
  ExpectLoop(*alpha, NodeAddress::Of(1, 2), 1000);  // more than one segment

  NodeStatus s = alpha->Status();
  EXPECT_GT(s.counters.packets_received, 0u);
  EXPECT_EQ(s.counters.malformed, 0u);
  EXPECT_EQ(s.counters.adjacency_ups, 1u);
}

TEST(TwoNodes, TheConnectingNodeComesBackAfterTheListenerRestarts) {
  uint16_t port = FreePort();
  std::string error;
  auto alpha = Node::Start(Config(1, "ALPHA", true, port), &error);
  ASSERT_TRUE(alpha) << error;
  auto bravo = Node::Start(Config(2, "BRAVO", false, port), &error);
  ASSERT_TRUE(bravo) << error;
  ASSERT_TRUE(WaitFor([&] { return Adjacent(*bravo, NodeAddress::Of(1, 1)); }, 5000ms));

  alpha.reset();
  ASSERT_TRUE(WaitFor([&] { return bravo->Status().circuit.state != "on"; }, 5000ms));
  alpha = Node::Start(Config(1, "ALPHA", true, port), &error);
  ASSERT_TRUE(alpha) << error;
  // The first retry comes one second after the drop.
  ASSERT_TRUE(WaitFor([&] { return Adjacent(*bravo, NodeAddress::Of(1, 1)); }, 8000ms));
  ExpectLoop(*bravo, NodeAddress::Of(1, 1), 10);
  EXPECT_EQ(bravo->Status().counters.adjacency_downs, 1u);
}

TEST(TwoNodes, GarbageFromThePeerIsCountedInTheStatusAndDropped) {
  uint16_t port = FreePort();
  std::string error;
  auto alpha = Node::Start(Config(1, "ALPHA", true, port), &error);
  ASSERT_TRUE(alpha) << error;
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  ASSERT_TRUE(WaitFor([&] { return ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0; }, 2000ms));
  // Framed well, but meaningless: padding past the end, an unknown control type, a
  // data header cut short (after an Init from 1.3, so the adjacency is up).
  const uint8_t stream[] = {1, 0, 0, 0, 0xff,  2, 0, 0, 0, 0x41, 0,
                            12, 0, 0, 0, 0x01, 0x03, 0x04, 0x03, 0x40, 0x02, 0x02, 0x00, 0x00, 0x3c, 0x00, 0x00,
                            3, 0, 0, 0, 0x02, 0x01, 0x04};
  ASSERT_EQ(::write(fd, stream, sizeof stream), static_cast<ssize_t>(sizeof stream));
  EXPECT_TRUE(WaitFor([&] { return alpha->Status().counters.malformed == 3; }, 2000ms))
      << alpha->Status().counters.malformed;
  EXPECT_TRUE(Adjacent(*alpha, NodeAddress::Of(1, 3)));
  ::close(fd);
}

TEST(TwoNodes, ConfigurationsTheStackCannotUseAreRefusedWithAReason) {
  struct Case {
    const char* name;
    std::function<void(NodeConfig&)> spoil;
    const char* expected;
  } cases[] = {
      {"no address", [](NodeConfig& c) { c.address = NodeAddress{}; }, "address"},
      {"long name", [](NodeConfig& c) { c.name = "TOOLONGNAME"; }, "TOOLONGNAME"},
      {"no peer", [](NodeConfig& c) { c.circuit.remote_host.clear(); }, "RemoteHost"},
      {"no device", [](NodeConfig& c) { c.circuit.kind = CircuitKind::kEthernet; }, "Device"},
  };
  for (const auto& c : cases) {
    NodeConfig config = Config(2, "BRAVO", false, 700);
    c.spoil(config);
    std::string error;
    EXPECT_FALSE(Node::Start(config, &error)) << c.name;
    EXPECT_NE(error.find(c.expected), std::string::npos) << c.name << ": " << error;
  }
}

TEST(TwoNodes, ACircuitThatCannotOpenFailsTheStartWithAReason) {
  uint16_t port = FreePort();
  std::string error;
  auto alpha = Node::Start(Config(1, "ALPHA", true, port), &error);
  ASSERT_TRUE(alpha) << error;
  auto second = Node::Start(Config(3, "CHARLY", true, port), &error);
  EXPECT_FALSE(second);
  EXPECT_NE(error.find("cannot listen on 127.0.0.1:" + std::to_string(port)), std::string::npos) << error;
}

}  // namespace
}  // namespace decnet
