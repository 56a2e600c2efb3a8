// Reading and writing single registry values with the conventions every profile of
// the library shares: a missing value is not an error (the default applies), a value
// of the wrong type is ERROR_INVALID_DATA, a string that does not fit its field is
// ERROR_INSUFFICIENT_BUFFER, and a text starting with the delete mark removes the value.
#pragma once

#include <cstdint>

#include "pellam.h"
#include "platform/registry.h"

namespace pellam {

using platform::HKEY;

// A value of a profile key as one read of the store found it: what RegQueryValueEx
// gave for a buffer of PELLAM_MAX_PATH bytes (the most any profile field takes), so
// that the readers below can tell what it gives for any smaller buffer.
struct FetchedValue {
  const char* name = nullptr;
  uint32_t code = 0;
  uint32_t type = 0;
  uint32_t size = 0;
  uint8_t data[PELLAM_MAX_PATH];
};

// Reads the named values of `key` in one query of the store, all from one state of
// it. The result is a failure that stopped them all (each value's own is its `code`).
uint32_t FetchValues(HKEY key, FetchedValue* values, uint32_t count);

// A REG_SZ value into `buffer` (always NUL-terminated; "" when missing or failed).
uint32_t ReadRegString(const FetchedValue& value, char* buffer, uint32_t size);

// A REG_SZ path into `path` (260 bytes), made absolute with exactly one trailing "/".
// A failure or an empty value leaves `path` untouched.
uint32_t ReadRegPath(const FetchedValue& value, char* path);

// A REG_DWORD into `*value`, which holds `fallback` unless a value was read.
uint32_t ReadRegNumber(const FetchedValue& value, uint32_t* number, uint32_t fallback);

// As ReadRegNumber, then clamped to 0x7FFFFFFF and raised to at least `minimum`.
// A failure leaves `*value` untouched.
uint32_t ReadRegBoundedNumber(const FetchedValue& value, uint32_t* number, uint32_t fallback,
                              uint32_t minimum);

// Stores `text` as REG_SZ, or deletes the value when it starts with the delete mark.
uint32_t WriteRegString(HKEY key, const char* name, const char* text);

// As WriteRegString, with the text first made absolute against the current directory.
uint32_t WriteRegPath(HKEY key, const char* name, const char* text);

uint32_t WriteRegNumber(HKEY key, const char* name, uint32_t value);

// `path` made absolute into `out` (260 bytes): 0, ERROR_BUFFER_OVERFLOW when it does
// not fit, or the platform's code.
uint32_t ResolvePath(const char* path, char* out);

}  // namespace pellam
