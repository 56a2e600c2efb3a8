// Node addresses as people write them: "area.node", decimal, nothing else around them.
#include "decnet/address.h"

#include <charconv>

namespace decnet {

namespace {

// A decimal number of 1 to 4 digits filling the whole text.
std::optional<unsigned> ParseSmallNumber(std::string_view text) {
  if (text.empty() || text.size() > 4) return std::nullopt;
  unsigned value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

std::optional<NodeAddress> ParseNodeAddress(std::string_view text) {
  size_t dot = text.find('.');
  if (dot == std::string_view::npos) return std::nullopt;
  auto area = ParseSmallNumber(text.substr(0, dot));
  auto node = ParseSmallNumber(text.substr(dot + 1));
  if (!area || !node || *area < 1 || *area > 63 || *node < 1 || *node > 1023) return std::nullopt;
  return NodeAddress::Of(*area, *node);
}

std::string FormatNodeAddress(NodeAddress address) {
  return std::to_string(address.area()) + "." + std::to_string(address.node());
}

}  // namespace decnet
