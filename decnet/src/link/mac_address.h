// Ethernet addresses as DECnet uses them: a node's own address is AA-00-04-00 followed
// by its 16-bit node address, little-endian; routers and end nodes each listen on a
// multicast address of their own.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "decnet/address.h"

namespace decnet {

struct MacAddress {
  std::array<uint8_t, 6> octets{};

  static constexpr MacAddress ForNode(NodeAddress node) {
    return MacAddress{{0xaa, 0x00, 0x04, 0x00, static_cast<uint8_t>(node.value & 0xff),
                       static_cast<uint8_t>(node.value >> 8)}};
  }
  // The node whose DECnet address this is, if it is one.
  constexpr std::optional<NodeAddress> DecnetNode() const {
    if (octets[0] != 0xaa || octets[1] != 0x00 || octets[2] != 0x04 || octets[3] != 0x00) return std::nullopt;
    return NodeAddress{static_cast<uint16_t>(octets[4] | (octets[5] << 8))};
  }
  constexpr bool is_zero() const { return octets == std::array<uint8_t, 6>{}; }
  std::string ToString() const {
    char text[18];
    std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", octets[0], octets[1], octets[2], octets[3],
                  octets[4], octets[5]);
    return text;
  }
  friend constexpr bool operator==(const MacAddress&, const MacAddress&) = default;
};

inline constexpr MacAddress kAllRouters{{0xab, 0x00, 0x00, 0x03, 0x00, 0x00}};
inline constexpr MacAddress kAllEndNodes{{0xab, 0x00, 0x00, 0x04, 0x00, 0x00}};

}  // namespace decnet
