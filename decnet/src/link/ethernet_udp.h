// Ethernet in UDP, the bridge most hobbyist networks use: one whole Ethernet frame per
// datagram, between a local port and the bridge's host and port. Datagrams from any
// other address are ignored, so a stray sender on the host cannot inject frames.
#pragma once

#include <string>

#include "core/event_loop.h"
#include "link/ethernet_link.h"
#include "link/socket_util.h"

namespace decnet {

struct EthernetUdpSettings {
  std::string local_host;  // empty = any
  uint16_t local_port = 0;
  std::string remote_host;
  uint16_t remote_port = 0;
};

class EthernetUdpLink final : public EthernetLink {
 public:
  EthernetUdpLink(EventLoop& loop, NodeAddress self, EthernetUdpSettings settings);
  ~EthernetUdpLink() override;

  bool Start(LinkObserver& observer, TimePoint now, std::string* error) override;
  void Stop() override;
  std::optional<TimePoint> NextDeadline() const override { return std::nullopt; }
  void Tick(TimePoint) override {}
  std::string Describe() const override;
  uint16_t bound_port() const { return bound_port_; }

 private:
  bool SendFrame(ByteSpan frame) override;
  void OnReadable();

  EventLoop& loop_;
  EthernetUdpSettings settings_;
  UniqueFd fd_;
  SocketAddress remote_;
  uint16_t bound_port_ = 0;
  Bytes receive_buffer_;
};

}  // namespace decnet
