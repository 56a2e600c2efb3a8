// Two real end nodes in the test process, ALPHA (1.1) and BRAVO (1.2), joined by one
// Multinet TCP circuit on loopback and adjacent before the caller gets them. The
// service's MAIL-11 tests run one side as the service would and script the other.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "decnet/node.h"

namespace pellam::test {

struct LinkedNodes {
  std::unique_ptr<decnet::Node> alpha;  // listens
  std::unique_ptr<decnet::Node> bravo;  // connects
};

inline const decnet::NodeAddress kAlpha = decnet::NodeAddress::Of(1, 1);
inline const decnet::NodeAddress kBravo = decnet::NodeAddress::Of(1, 2);

// Both nodes know ALPHA and BRAVO by name (and CHARLY as 1.3, which nobody runs).
// Empty nodes, with `error` set, when they do not come up adjacent within `limit`.
LinkedNodes StartLinkedNodes(std::string* error, std::chrono::milliseconds limit = std::chrono::seconds(10));

}  // namespace pellam::test
