// Case-blind comparison of names in 8-bit (ISO-8859-1) mail text: node names in
// addresses and header names in message files. Letters of both halves of the code
// page fold (a-z to A-Z, and the accented small letters to their capitals); nothing
// else does. No locale is consulted, so the result is the same in every process.
#pragma once

#include <cstddef>

namespace pellam {

constexpr unsigned char FoldCase(unsigned char c) noexcept {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 0x20);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 0x20);
  return c;
}

// True when the `length` bytes at `text` spell the whole of the NUL-terminated `name`,
// letter case aside. A name that merely begins with the text does not match.
inline bool SameNameNoCase(const char* text, size_t length, const char* name) noexcept {
  for (size_t i = 0; i < length; ++i) {
    const auto n = static_cast<unsigned char>(name[i]);
    if (n == 0 || FoldCase(n) != FoldCase(static_cast<unsigned char>(text[i]))) return false;
  }
  return name[length] == '\0';
}

}  // namespace pellam
