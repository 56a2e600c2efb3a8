// The hub's loop: a poll with a short timeout, so that a stop is seen within a tenth
// of a second even on a silent LAN.
#include "udp_hub.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

namespace pellam::e2e {
namespace {

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(port);
  return a;
}

}  // namespace

UdpHub::UdpHub(std::vector<uint16_t> peer_ports, uint64_t limit) : peers_(std::move(peer_ports)), limit_(limit) {
  fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in a = Loopback(0);
  socklen_t size = sizeof a;
  if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &size) != 0) {
    return;
  }
  port_ = ntohs(a.sin_port);
  thread_ = std::thread([this] { Run(); });
}

UdpHub::~UdpHub() {
  stop_.store(true);
  if (thread_.joinable()) thread_.join();
  if (fd_ >= 0) ::close(fd_);
}

void UdpHub::Run() {
  unsigned char frame[2048];
  while (!stop_.load() && repeated_.load() < limit_) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) continue;
    sockaddr_in from{};
    socklen_t size = sizeof from;
    const ssize_t n = ::recvfrom(fd_, frame, sizeof frame, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &size);
    if (n <= 0 || from.sin_addr.s_addr != htonl(INADDR_LOOPBACK)) continue;
    const uint16_t source = ntohs(from.sin_port);
    if (std::find(peers_.begin(), peers_.end(), source) == peers_.end()) continue;
    for (uint16_t peer : peers_) {
      if (peer == source) continue;
      const sockaddr_in to = Loopback(peer);
      ::sendto(fd_, frame, static_cast<size_t>(n), MSG_DONTWAIT, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }
    repeated_.fetch_add(1);
  }
}

}  // namespace pellam::e2e
