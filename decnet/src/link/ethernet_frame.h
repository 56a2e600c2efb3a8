// DECnet routing packets in Ethernet frames: destination, source, type 0x6003, a
// little-endian length of the routing packet, the packet, padding to the 60-byte
// minimum. Decoding only looks; it never copies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "core/bytes.h"
#include "link/mac_address.h"

namespace decnet {

inline constexpr uint16_t kDecnetEthertype = 0x6003;
inline constexpr size_t kEthernetHeader = 14;
inline constexpr size_t kEthernetMinFrame = 60;    // without the frame check sequence
inline constexpr size_t kEthernetMaxPayload = 1500;
inline constexpr size_t kMaxRoutingPacketOnEthernet = kEthernetMaxPayload - 2;

struct EthernetFrameView {
  MacAddress destination, source;
  ByteSpan packet;  // the routing packet, padding removed
};

enum class FrameCheck { kOk, kNotDecnet, kMalformed };

// kNotDecnet: a frame of another protocol, to be ignored. kMalformed: a DECnet frame
// whose length runs past the frame or is zero.
FrameCheck DecodeEthernetFrame(ByteSpan frame, EthernetFrameView* view);

// Writes the frame into `out` (resized, its capacity reused). The packet must be at
// most kMaxRoutingPacketOnEthernet bytes.
void EncodeEthernetFrame(const MacAddress& destination, const MacAddress& source, ByteSpan packet, Bytes& out);

}  // namespace decnet
