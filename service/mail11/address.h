// Splitting a MAIL-11 address at its first node: `A::B::USER` goes to node A with
// `B::USER` as the recipient record, and A relays the rest. A quoted foreign part
// (`GATE::"user@host::x"`) is never split inside its quotes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pellam::mail11 {

struct NextHop {
  std::string node;  // the first node, as written
  std::string rest;  // what that node receives as the recipient
};

// Nothing when the address has no node part before its first unquoted "::", or an
// empty node or an empty rest.
std::optional<NextHop> SplitFirstNode(std::string_view address);

}  // namespace pellam::mail11
