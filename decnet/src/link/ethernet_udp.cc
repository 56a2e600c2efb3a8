// The bridge link. The socket is not connected, so that the bridge may answer from a
// different local address on a multi-homed host; the peer check compares host and port.
#include "link/ethernet_udp.h"

#include <netinet/in.h>
#include <sys/epoll.h>

#include <cerrno>

namespace decnet {

EthernetUdpLink::EthernetUdpLink(EventLoop& loop, NodeAddress self, EthernetUdpSettings settings)
    : EthernetLink(self), loop_(loop), settings_(std::move(settings)), receive_buffer_(2048) {}

EthernetUdpLink::~EthernetUdpLink() { Stop(); }

bool EthernetUdpLink::Start(LinkObserver& observer, TimePoint now, std::string* error) {
  SocketAddress local;
  if (!ResolveAddress(settings_.remote_host, settings_.remote_port, false, &remote_, error)) return false;
  std::string local_host = settings_.local_host;
  if (local_host.empty()) local_host = remote_.family() == AF_INET6 ? "::" : "0.0.0.0";
  if (!ResolveAddress(local_host, settings_.local_port, true, &local, error)) return false;
  fd_.Reset(::socket(local.family(), SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!fd_.valid() || ::bind(fd_.get(), reinterpret_cast<sockaddr*>(&local.storage), local.length) != 0) {
    if (error) *error = "cannot bind the bridge port " + local.ToString() + ": " + ErrnoText(errno);
    fd_.Reset();
    return false;
  }
  sockaddr_storage bound{};
  socklen_t length = sizeof bound;
  ::getsockname(fd_.get(), reinterpret_cast<sockaddr*>(&bound), &length);
  bound_port_ = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                                  : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
  observer_ = &observer;
  loop_.Watch(fd_.get(), EPOLLIN, [this](uint32_t) { OnReadable(); });
  observer.OnLinkUp(now);
  return true;
}

void EthernetUdpLink::Stop() {
  if (fd_.valid()) loop_.Unwatch(fd_.get());
  fd_.Reset();
  observer_ = nullptr;
}

bool EthernetUdpLink::SendFrame(ByteSpan frame) {
  if (!fd_.valid()) return false;
  return ::sendto(fd_.get(), frame.data(), frame.size(), 0, reinterpret_cast<const sockaddr*>(&remote_.storage),
                  remote_.length) == static_cast<ssize_t>(frame.size());
}

void EthernetUdpLink::OnReadable() {
  for (int round = 0; round < 64 && fd_.valid(); ++round) {
    SocketAddress from;
    from.length = sizeof from.storage;
    ssize_t n = ::recvfrom(fd_.get(), receive_buffer_.data(), receive_buffer_.size(), MSG_TRUNC,
                           reinterpret_cast<sockaddr*>(&from.storage), &from.length);
    if (n < 0) return;
    if (!(from == remote_)) continue;
    if (static_cast<size_t>(n) > receive_buffer_.size()) {  // larger than any Ethernet frame
      if (observer_) observer_->OnMalformedFrame();
      continue;
    }
    HandleFrame(ByteSpan(receive_buffer_.data(), static_cast<size_t>(n)), Clock::now());
  }
}

std::string EthernetUdpLink::Describe() const {
  return "bridge " + remote_.ToString() + " from port " + std::to_string(bound_port_);
}

}  // namespace decnet
