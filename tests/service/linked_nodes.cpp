// Starting the pair: a free loopback port, ALPHA listening on it, BRAVO connecting, and
// a bounded wait until each sees the other as its adjacency.
#include "linked_nodes.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

namespace pellam::test {
namespace {

uint16_t FreeLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return 0;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    address.sin_port = 0;
  }
  ::close(fd);
  return ntohs(address.sin_port);
}

decnet::NodeConfig Config(decnet::NodeAddress address, const char* name, bool listen, uint16_t port) {
  decnet::NodeConfig config;
  config.address = address;
  config.name = name;
  config.circuit.kind = listen ? decnet::CircuitKind::kMultinetTcpListen : decnet::CircuitKind::kMultinetTcpConnect;
  config.circuit.local_host = "127.0.0.1";
  config.circuit.remote_host = "127.0.0.1";
  config.circuit.local_port = port;
  config.circuit.remote_port = port;
  config.nodes.Add("ALPHA", kAlpha);
  config.nodes.Add("BRAVO", kBravo);
  config.nodes.Add("CHARLY", decnet::NodeAddress::Of(1, 3));
  return config;
}

bool AdjacentTo(const decnet::Node& node, decnet::NodeAddress other) {
  const decnet::NodeStatus s = node.Status();
  return s.circuit.state == "on" && s.circuit.adjacent == other;
}

}  // namespace

LinkedNodes StartLinkedNodes(std::string* error, std::chrono::milliseconds limit) {
  LinkedNodes nodes;
  const uint16_t port = FreeLoopbackPort();
  if (port == 0) {
    *error = "no free loopback port";
    return {};
  }
  nodes.alpha = decnet::Node::Start(Config(kAlpha, "ALPHA", true, port), error);
  if (!nodes.alpha) return {};
  nodes.bravo = decnet::Node::Start(Config(kBravo, "BRAVO", false, port), error);
  if (!nodes.bravo) return {};
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!(AdjacentTo(*nodes.alpha, kBravo) && AdjacentTo(*nodes.bravo, kAlpha))) {
    if (std::chrono::steady_clock::now() >= end) {
      *error = "ALPHA and BRAVO did not become adjacent in time";
      return {};
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return nodes;
}

}  // namespace pellam::test
