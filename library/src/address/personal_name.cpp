// The personal names that travel beside addresses: CheckPNameIn accepts what arrives
// from elsewhere unless it would break a line or a comment; CheckPNameOut holds a name
// about to be sent to the stricter rules and normalises it in place. Neither ever
// makes a name longer.
#include <cstddef>

#include "address/address.h"
#include "pellam.h"
#include "platform/errors.h"

extern "C" {

PELLAM_API uint32_t CheckPNameIn(const char* name) {
  if (name == nullptr) return ERROR_INVALID_PARAMETER;
  ptrdiff_t depth = 0;
  for (const char* p = name; *p != '\0' && depth >= 0; ++p) {
    if (*p == '\n' || *p == '\r') return ERR_NAME_CHARACTER;
    if (*p == '(') {
      ++depth;
    } else if (*p == ')') {
      --depth;
    }
  }
  return depth == 0 ? 0 : ERR_UNBALANCED_PARENS;
}

PELLAM_API uint32_t CheckPNameOut(char* name) {
  if (name == nullptr) return ERROR_INVALID_PARAMETER;
  // One walk decides the first fault; quotes already turned into apostrophes stay so.
  ptrdiff_t depth = 0;
  char* p = name;
  for (; *p != '\0' && depth >= 0; ++p) {
    const char c = *p;
    if (c == '\b' || (c >= '\n' && c <= '\r')) return ERR_NAME_CHARACTER;
    if (c == ' ' && p > name && p[-1] == ' ') return ERR_NAME_SPACES;
    if (c == '"') {
      *p = '\'';
    } else if (c == '(') {
      ++depth;
    } else if (c == ')') {
      --depth;
    }
  }
  if (depth != 0) return ERR_UNBALANCED_PARENS;
  const auto first = static_cast<unsigned char>(name[0]);
  if ((first >= '0' && first <= '9') || pellam::IsAddressBlank(first)) return ERR_NAME_START;
  while (p > name && pellam::IsAddressBlank(static_cast<unsigned char>(p[-1]))) *--p = '\0';
  return 0;
}

}  // extern "C"
