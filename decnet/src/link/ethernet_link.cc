// Frame filtering and framing shared by the bridge and the packet-socket links.
#include "link/ethernet_link.h"

#include <algorithm>

namespace decnet {

bool EthernetLink::Send(ByteSpan packet, const MacAddress& destination) {
  if (packet.empty() || packet.size() > kMaxRoutingPacketOnEthernet) return false;
  EncodeEthernetFrame(destination, station_, packet, frame_);
  return SendFrame(frame_);
}

void EthernetLink::HandleFrame(ByteSpan frame, TimePoint now) {
  if (observer_ == nullptr) return;
  EthernetFrameView view;
  switch (DecodeEthernetFrame(frame, &view)) {
    case FrameCheck::kNotDecnet:
      return;
    case FrameCheck::kMalformed:
      // Only a DECnet frame addressed to us is ours to count; anything else on a
      // shared wire is somebody else's business.
      if (frame.size() >= 6) {
        MacAddress destination;
        std::copy_n(frame.begin(), 6, destination.octets.begin());
        if (destination == station_ || destination == kAllEndNodes) observer_->OnMalformedFrame();
      }
      return;
    case FrameCheck::kOk:
      break;
  }
  if (view.source == station_) return;  // our own frame, looped back
  if (view.destination != station_ && view.destination != kAllEndNodes) return;
  observer_->OnPacket(view.packet, view.source, now);
}

}  // namespace decnet
