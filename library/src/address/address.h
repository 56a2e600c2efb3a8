// The address routines' shared pieces: the character classes of address text and the
// C++ forms of the scanner and parser behind the exports. Nothing here allocates or
// keeps state; every position returned lies inside the text that was given.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pellam {

// Space and the controls backspace to carriage return separate address tokens.
constexpr bool IsAddressBlank(unsigned char c) noexcept {
  return c == ' ' || (c >= 0x08 && c <= 0x0D);
}

inline const char* SkipAddressBlanks(const char* p) noexcept {
  while (IsAddressBlank(static_cast<unsigned char>(*p))) ++p;
  return p;
}

// One token of an address list: [start, end) is the address, next is where the
// following one is looked for.
struct AddressToken {
  const char* start;
  const char* end;
  const char* next;
};

// The scanner of ScanAddr. `token` is filled on every outcome.
uint32_t ScanAddressToken(const char* text, bool no_tail, AddressToken* token) noexcept;

// The five values that describe a parsed address, counted from the start of the text.
struct AddressParts {
  int32_t node_offset;
  int32_t node_length;  // 0: no node or host part
  int32_t user_offset;
  int32_t user_length;
  int32_t form;  // ADDR_FORM_DECNET or ADDR_FORM_EXTERNAL
};

// The parser of ParseAddr over `length` bytes (which hold no NUL). `parts` is filled
// unless the result is ERR_UNBALANCED_QUOTES.
uint32_t SplitAddress(const char* text, size_t length, AddressParts* parts) noexcept;

// The length a caller's (text, length) pair really has: a negative length means up to
// the NUL, and no length reaches past the NUL, so no part described can lie beyond
// the end of the text.
size_t AddressTextLength(const char* text, int32_t length) noexcept;

}  // namespace pellam
