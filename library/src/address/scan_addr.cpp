// Splitting address lists: ScanAddr finds the next address token of a list, skipping
// the blanks, the comment and the comma that may follow it; ScanParentheses steps
// over one comment. Quoted text is opaque to the token rules; comments know no quotes.
#include <cstddef>

#include "address/address.h"
#include "pellam.h"
#include "platform/errors.h"

namespace pellam {

uint32_t ScanAddressToken(const char* text, bool no_tail, AddressToken* token) noexcept {
  const char* p = SkipAddressBlanks(text);
  token->start = p;
  bool quoted = false;
  for (unsigned char c; (c = static_cast<unsigned char>(*p)) != 0; ++p) {
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && (c == ',' || IsAddressBlank(c))) {
      break;
    }
  }
  token->end = p;
  p = SkipAddressBlanks(p);
  token->next = p;
  if (quoted) return ERR_UNBALANCED_QUOTES;
  const uint32_t found = token->start == token->end ? ERR_BLANK_ADDRESS : 0;
  if (no_tail) return found;

  // A comment counts only straight after the token and its blanks, before any comma.
  if (*p == '(' || *p == ')') {
    p = ScanParentheses(p);
    if (p == nullptr) return ERR_UNBALANCED_PARENS;
  }
  p = SkipAddressBlanks(p);
  if (*p == ',') p = SkipAddressBlanks(p + 1);
  token->next = p;
  return found;
}

}  // namespace pellam

extern "C" {

PELLAM_API uint32_t ScanAddr(const char* text, const char** start, const char** end,
                             const char** next, int32_t no_tail) {
  if (text == nullptr || start == nullptr || end == nullptr || next == nullptr) {
    return ERROR_INVALID_PARAMETER;
  }
  pellam::AddressToken token;
  const uint32_t status = pellam::ScanAddressToken(text, no_tail != 0, &token);
  *start = token.start;
  *end = token.end;
  *next = token.next;
  return status;
}

PELLAM_API const char* ScanParentheses(const char* text) {
  if (text == nullptr || (*text != '(' && *text != ')')) return text;
  // The first character always counts, so a comment opened by ")" can never balance.
  ptrdiff_t depth = 0;
  const char* p = text;
  do {
    if (*p == '(') {
      ++depth;
    } else if (*p == ')') {
      --depth;
    }
    ++p;
  } while (depth > 0 && *p != '\0');
  return depth == 0 ? p : nullptr;
}

}  // extern "C"
