// Where one address record of a control file leads, seen from this node: a local user
// (after leading names of the local node are dropped), another DECnet node, the
// external network, or nowhere (a syntax fault).
#pragma once

#include <cstdint>
#include <string>

namespace pellam::service {

enum class RecipientKind { kLocal, kRemote, kExternal, kInvalid };

struct Recipient {
  RecipientKind kind = RecipientKind::kInvalid;
  std::string user;  // kLocal: the user name; otherwise what is left of the address
  std::string node;  // kRemote: the next node; kExternal: the host
  uint32_t code = 0; // kInvalid: the address parser's status
};

Recipient ClassifyRecipient(const std::string& address, const std::string& local_node);

}  // namespace pellam::service
