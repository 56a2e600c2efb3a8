// Ethernet on a real or virtual interface through a packet socket. It needs
// CAP_NET_RAW, and the interface must take frames for this node's AA-00-04-00 address:
// the link asks for it as a secondary unicast address (the kernel falls back to
// promiscuous mode on drivers without unicast filtering). Either failure is reported
// at start with a text that says what is missing.
#pragma once

#include <string>

#include "core/event_loop.h"
#include "link/ethernet_link.h"
#include "link/socket_util.h"

namespace decnet {

class EthernetPacketLink final : public EthernetLink {
 public:
  EthernetPacketLink(EventLoop& loop, NodeAddress self, std::string device);
  ~EthernetPacketLink() override;

  bool Start(LinkObserver& observer, TimePoint now, std::string* error) override;
  void Stop() override;
  std::optional<TimePoint> NextDeadline() const override { return std::nullopt; }
  void Tick(TimePoint) override {}
  std::string Describe() const override { return "interface " + device_; }

 private:
  bool SendFrame(ByteSpan frame) override;
  void OnReadable();

  EventLoop& loop_;
  std::string device_;
  UniqueFd fd_;
  Bytes receive_buffer_;
};

}  // namespace decnet
