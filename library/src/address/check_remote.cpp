// CheckRemote: strips the leading node names that name this node and says whether what
// is left is local, for another node, or external. A node name must equal the whole
// local node name (case aside): NODE:: is not the local node NODEA.
#include "address/address.h"
#include "address/fold_case.h"
#include "pellam.h"
#include "platform/errors.h"

extern "C" {

PELLAM_API uint32_t CheckRemote(const char* text, int32_t length, const char** rest,
                                int32_t* rest_length, const char* local_node, int32_t* kind) {
  if (text == nullptr || rest == nullptr || rest_length == nullptr || local_node == nullptr ||
      kind == nullptr) {
    return ERROR_INVALID_PARAMETER;
  }
  size_t remaining = pellam::AddressTextLength(text, length);
  *rest = text;
  *rest_length = static_cast<int32_t>(remaining);
  *kind = ADDR_LOCAL;

  const char* p = text;
  while (remaining > 0) {
    pellam::AddressParts parts;
    const uint32_t status = pellam::SplitAddress(p, remaining, &parts);
    if (status != 0) return status;
    if (parts.node_length == 0) break;
    if (parts.form == ADDR_FORM_EXTERNAL) {
      *kind = ADDR_EXTERNAL;
      break;
    }
    if (!pellam::SameNameNoCase(p + parts.node_offset, static_cast<size_t>(parts.node_length),
                                local_node)) {
      *kind = ADDR_REMOTE;
      break;
    }
    p += parts.user_offset;
    remaining = static_cast<size_t>(parts.user_length);
  }
  *rest = p;
  *rest_length = static_cast<int32_t>(remaining);
  return 0;
}

}  // extern "C"
