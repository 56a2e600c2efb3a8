// Classifying with the library's CheckRemote, which strips leading local node names,
// and ParseAddr for the node or host that comes next.
#include "recipient.h"

#include "pellam.h"

namespace pellam::service {

Recipient ClassifyRecipient(const std::string& address, const std::string& local_node) {
  Recipient r;
  const char* rest = nullptr;
  int32_t rest_length = 0;
  int32_t kind = 0;
  r.code = CheckRemote(address.c_str(), static_cast<int32_t>(address.size()), &rest, &rest_length,
                       local_node.c_str(), &kind);
  if (r.code == 0 && rest_length <= 0) r.code = ERR_ADDRESS_SYNTAX;  // only local node names
  if (r.code != 0) return r;
  r.user.assign(rest, static_cast<size_t>(rest_length));
  if (kind == ADDR_LOCAL) {
    r.kind = RecipientKind::kLocal;
    return r;
  }
  int32_t node_offset = 0, node_length = 0, user_offset = 0, user_length = 0, form = 0;
  r.code = ParseAddr(rest, rest_length, &node_offset, &node_length, &user_offset, &user_length, &form);
  if (r.code != 0) return r;
  r.node.assign(rest + node_offset, static_cast<size_t>(node_length));
  r.kind = kind == ADDR_REMOTE ? RecipientKind::kRemote : RecipientKind::kExternal;
  return r;
}

}  // namespace pellam::service
