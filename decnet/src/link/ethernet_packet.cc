// The packet-socket link. The socket is bound to the interface and to type 0x6003, so
// the kernel hands over only DECnet frames; frames the host itself sent come back
// marked PACKET_OUTGOING and are skipped.
#include "link/ethernet_packet.h"

#include <arpa/inet.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <sys/epoll.h>

#include <cerrno>
#include <cstring>

namespace decnet {

EthernetPacketLink::EthernetPacketLink(EventLoop& loop, NodeAddress self, std::string device)
    : EthernetLink(self), loop_(loop), device_(std::move(device)), receive_buffer_(2048) {}

EthernetPacketLink::~EthernetPacketLink() { Stop(); }

bool EthernetPacketLink::Start(LinkObserver& observer, TimePoint now, std::string* error) {
  auto fail = [&](const std::string& text) {
    if (error) *error = text;
    fd_.Reset();
    return false;
  };
  if (device_.empty() || device_.size() >= IFNAMSIZ) return fail("no Ethernet interface is named for the circuit");
  unsigned index = ::if_nametoindex(device_.c_str());
  if (index == 0) return fail("there is no interface named \"" + device_ + "\"");
  fd_.Reset(::socket(AF_PACKET, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, htons(kDecnetEthertype)));
  if (!fd_.valid()) {
    if (errno == EPERM || errno == EACCES) {
      return fail("the Ethernet circuit on \"" + device_ +
                  "\" needs the CAP_NET_RAW capability (run the service as root or grant it the capability)");
    }
    return fail("cannot open a packet socket: " + ErrnoText(errno));
  }
  sockaddr_ll local{};
  local.sll_family = AF_PACKET;
  local.sll_protocol = htons(kDecnetEthertype);
  local.sll_ifindex = static_cast<int>(index);
  if (::bind(fd_.get(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
    return fail("cannot bind a packet socket to \"" + device_ + "\": " + ErrnoText(errno));
  }
  packet_mreq membership{};
  membership.mr_ifindex = static_cast<int>(index);
  membership.mr_alen = 6;
  membership.mr_type = PACKET_MR_MULTICAST;
  std::memcpy(membership.mr_address, kAllEndNodes.octets.data(), 6);
  if (::setsockopt(fd_.get(), SOL_PACKET, PACKET_ADD_MEMBERSHIP, &membership, sizeof membership) != 0) {
    return fail("interface \"" + device_ + "\" cannot join the all-end-nodes multicast address " +
                kAllEndNodes.ToString() + ": " + ErrnoText(errno));
  }
  membership.mr_type = PACKET_MR_UNICAST;
  std::memcpy(membership.mr_address, station().octets.data(), 6);
  if (::setsockopt(fd_.get(), SOL_PACKET, PACKET_ADD_MEMBERSHIP, &membership, sizeof membership) != 0) {
    return fail("interface \"" + device_ + "\" cannot take the DECnet address " + station().ToString() +
                " (its driver refused a secondary unicast address: " + ErrnoText(errno) + ")");
  }
  observer_ = &observer;
  loop_.Watch(fd_.get(), EPOLLIN, [this](uint32_t) { OnReadable(); });
  observer.OnLinkUp(now);
  return true;
}

void EthernetPacketLink::Stop() {
  if (fd_.valid()) loop_.Unwatch(fd_.get());
  fd_.Reset();  // closing the socket drops its memberships
  observer_ = nullptr;
}

bool EthernetPacketLink::SendFrame(ByteSpan frame) {
  if (!fd_.valid()) return false;
  return ::send(fd_.get(), frame.data(), frame.size(), 0) == static_cast<ssize_t>(frame.size());
}

void EthernetPacketLink::OnReadable() {
  for (int round = 0; round < 64 && fd_.valid(); ++round) {
    sockaddr_ll from{};
    socklen_t length = sizeof from;
    ssize_t n = ::recvfrom(fd_.get(), receive_buffer_.data(), receive_buffer_.size(), MSG_TRUNC,
                           reinterpret_cast<sockaddr*>(&from), &length);
    if (n < 0) return;
    if (from.sll_pkttype == PACKET_OUTGOING) continue;
    if (static_cast<size_t>(n) > receive_buffer_.size()) {
      if (observer_) observer_->OnMalformedFrame();
      continue;
    }
    HandleFrame(ByteSpan(receive_buffer_.data(), static_cast<size_t>(n)), Clock::now());
  }
}

}  // namespace decnet
