// ParseAddr: splits one address token at its first unquoted "::" (DECnet form, node
// first) or else at its last unquoted "@" (external form, host last). Only the first
// node comes off; the rest of a route is split by parsing the user part again.
#include <cstring>

#include "address/address.h"
#include "pellam.h"
#include "platform/errors.h"

namespace pellam {

size_t AddressTextLength(const char* text, int32_t length) noexcept {
  // Offsets travel as 32-bit values, so a text longer than that is taken in part.
  const size_t limit = length < 0 ? static_cast<size_t>(INT32_MAX) : static_cast<size_t>(length);
  return strnlen(text, limit);
}

uint32_t SplitAddress(const char* text, size_t length, AddressParts* parts) noexcept {
  bool quoted = false;
  ptrdiff_t at = -1;
  ptrdiff_t mark = -1;
  for (size_t i = 0; i < length; ++i) {
    const char c = text[i];
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && c == '@') {
      at = static_cast<ptrdiff_t>(i);
    } else if (!quoted && c == ':' && i + 1 < length && text[i + 1] == ':') {
      mark = static_cast<ptrdiff_t>(i);
      break;
    }
  }
  if (quoted) return ERR_UNBALANCED_QUOTES;

  const auto n = static_cast<int32_t>(length);
  bool valid;
  if (mark >= 0) {
    const auto m = static_cast<int32_t>(mark);
    *parts = {0, m, m + 2, n - m - 2, ADDR_FORM_DECNET};
    valid = m > 0 && parts->user_length > 0 && at < 0;
  } else if (at >= 0) {
    const auto a = static_cast<int32_t>(at);
    *parts = {a + 1, n - a - 1, 0, a, ADDR_FORM_EXTERNAL};
    valid = parts->node_length > 0 && a > 0;
  } else {
    *parts = {0, 0, 0, n, ADDR_FORM_DECNET};
    valid = n > 0;
  }
  return valid ? 0 : ERR_ADDRESS_SYNTAX;
}

}  // namespace pellam

extern "C" {

PELLAM_API uint32_t ParseAddr(const char* text, int32_t length, int32_t* node_offset,
                              int32_t* node_length, int32_t* user_offset, int32_t* user_length,
                              int32_t* form) {
  if (text == nullptr || node_offset == nullptr || node_length == nullptr ||
      user_offset == nullptr || user_length == nullptr || form == nullptr) {
    return ERROR_INVALID_PARAMETER;
  }
  pellam::AddressParts parts;
  const uint32_t status =
      pellam::SplitAddress(text, pellam::AddressTextLength(text, length), &parts);
  if (status == ERR_UNBALANCED_QUOTES) return status;
  *node_offset = parts.node_offset;
  *node_length = parts.node_length;
  *user_offset = parts.user_offset;
  *user_length = parts.user_length;
  *form = parts.form;
  return status;
}

}  // extern "C"
