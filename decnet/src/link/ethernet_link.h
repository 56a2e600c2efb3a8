// What the two Ethernet links share: framing on the way out and, on the way in,
// keeping only DECnet frames for this station or for all end nodes (a bridge or a
// promiscuous interface delivers everything on the wire, our own frames included).
#pragma once

#include "link/data_link.h"
#include "link/ethernet_frame.h"

namespace decnet {

class EthernetLink : public DataLink {
 public:
  explicit EthernetLink(NodeAddress self) : station_(MacAddress::ForNode(self)) {}
  bool is_lan() const override { return true; }
  bool Send(ByteSpan packet, const MacAddress& destination) override;
  void Restart(TimePoint) override {}  // nothing to restart on a LAN
  const MacAddress& station() const { return station_; }

 protected:
  // Puts one whole frame on the wire; false when it was not sent.
  virtual bool SendFrame(ByteSpan frame) = 0;
  // Hands a received frame on if it is a DECnet frame for us.
  void HandleFrame(ByteSpan frame, TimePoint now);

  LinkObserver* observer_ = nullptr;

 private:
  MacAddress station_;
  Bytes frame_;  // the outgoing frame, its capacity reused
};

}  // namespace decnet
