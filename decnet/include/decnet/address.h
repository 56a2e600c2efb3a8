// A Phase IV node address: area (1..63) and node (1..1023) packed into 16 bits as
// area * 1024 + node, little-endian on the wire, written "area.node" by people.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "decnet/export.h"

namespace decnet {

struct NodeAddress {
  uint16_t value = 0;  // 0 means "none" (an unset address)

  static constexpr NodeAddress Of(unsigned area, unsigned node) {
    return NodeAddress{static_cast<uint16_t>((area << 10) | (node & 0x3ff))};
  }
  constexpr unsigned area() const { return value >> 10; }
  constexpr unsigned node() const { return value & 0x3ff; }
  constexpr bool valid() const { return area() >= 1 && node() >= 1; }
  friend constexpr bool operator==(NodeAddress, NodeAddress) = default;
  friend constexpr auto operator<=>(NodeAddress, NodeAddress) = default;
};

// "1.2" -> 1.2; anything else (missing dot, area or node out of range, trailing text)
// gives nullopt.
DECNET_API std::optional<NodeAddress> ParseNodeAddress(std::string_view text);
DECNET_API std::string FormatNodeAddress(NodeAddress address);

}  // namespace decnet
