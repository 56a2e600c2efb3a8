// Ethernet framing of DECnet packets; padding is zero on the way out and ignored on
// the way in, as the length field says where the packet ends.
#include "link/ethernet_frame.h"

#include <algorithm>
#include <cstring>

namespace decnet {

FrameCheck DecodeEthernetFrame(ByteSpan frame, EthernetFrameView* view) {
  if (frame.size() < kEthernetHeader) return FrameCheck::kMalformed;
  uint16_t type = static_cast<uint16_t>((frame[12] << 8) | frame[13]);
  if (type != kDecnetEthertype) return FrameCheck::kNotDecnet;
  if (frame.size() < kEthernetHeader + 2) return FrameCheck::kMalformed;
  size_t length = frame[14] | (frame[15] << 8);
  if (length == 0 || length > frame.size() - kEthernetHeader - 2) return FrameCheck::kMalformed;
  std::copy_n(frame.begin(), 6, view->destination.octets.begin());
  std::copy_n(frame.begin() + 6, 6, view->source.octets.begin());
  view->packet = frame.subspan(kEthernetHeader + 2, length);
  return FrameCheck::kOk;
}

void EncodeEthernetFrame(const MacAddress& destination, const MacAddress& source, ByteSpan packet, Bytes& out) {
  size_t size = std::max(kEthernetHeader + 2 + packet.size(), kEthernetMinFrame);
  out.assign(size, 0);
  std::memcpy(out.data(), destination.octets.data(), 6);
  std::memcpy(out.data() + 6, source.octets.data(), 6);
  out[12] = static_cast<uint8_t>(kDecnetEthertype >> 8);
  out[13] = static_cast<uint8_t>(kDecnetEthertype & 0xff);
  out[14] = static_cast<uint8_t>(packet.size() & 0xff);
  out[15] = static_cast<uint8_t>(packet.size() >> 8);
  if (!packet.empty()) std::memcpy(out.data() + 16, packet.data(), packet.size());
}

}  // namespace decnet
