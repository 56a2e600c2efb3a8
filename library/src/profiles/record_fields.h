// Checks on the string fields of records that callers hand to the write functions.
#pragma once

#include <cstring>

#include "pellam.h"

namespace pellam {

// True when the field holds its NUL within its width, so it can be read as a string.
template <std::size_t N>
bool IsTerminated(const char (&field)[N]) {
  return ::memchr(field, '\0', N) != nullptr;
}

// A field that asks for something to be written: not empty.
template <std::size_t N>
bool IsGiven(const char (&field)[N]) {
  return field[0] != '\0';
}

// Copies a string into a fixed field; false (field emptied) when it does not fit.
template <std::size_t N>
bool CopyField(char (&field)[N], const char* text, std::size_t length) {
  if (length >= N) {
    field[0] = '\0';
    return false;
  }
  std::memcpy(field, text, length);
  field[length] = '\0';
  return true;
}

}  // namespace pellam
