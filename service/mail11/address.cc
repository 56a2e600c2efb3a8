// The first unquoted "::" splits the node from the rest; quotes only hide what is
// inside them, and an unbalanced quote means there is no node part to trust.
#include "mail11/address.h"

namespace pellam::mail11 {

std::optional<NextHop> SplitFirstNode(std::string_view address) {
  bool quoted = false;
  for (size_t i = 0; i + 1 < address.size(); ++i) {
    if (address[i] == '"') quoted = !quoted;
    if (quoted || address[i] != ':' || address[i + 1] != ':') continue;
    NextHop hop{std::string(address.substr(0, i)), std::string(address.substr(i + 2))};
    if (hop.node.empty() || hop.rest.empty()) return std::nullopt;
    return hop;
  }
  return std::nullopt;
}

}  // namespace pellam::mail11
