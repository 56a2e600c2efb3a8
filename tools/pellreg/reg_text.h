// The text registry format: a header line "Windows Registry Editor Version 5.00", then
// sections "[KEY]" (or "[-KEY]" to delete a key) each followed by value lines
// ("name"="string", "name"=dword:0000000a, "name"=hex:01,02, "name"=hex(N):..., "@"
// for the default value, "name"=- to delete). The writer emits CR LF lines; the reader
// takes CR LF or LF, and checks the whole text before it returns any operation, so
// that a caller applies all of a file or nothing of it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pellreg/key_path.h"
#include "pellreg/value_format.h"

namespace pellreg {

inline constexpr std::string_view kRegTextHeader = "Windows Registry Editor Version 5.00";

struct RegOperation {
  enum class Kind { kCreateKey, kDeleteKey, kSetValue, kDeleteValue };

  Kind kind = Kind::kCreateKey;
  KeyPath key;
  std::string value_name;  // values only; "" is the default value
  uint32_t type = 0;       // kSetValue only
  Bytes data;              // kSetValue only: the stored bytes
  int line = 0;            // where the operation begins in the text it was read from

  // Equal operations do the same thing; where they were read from does not count.
  bool operator==(const RegOperation& other) const {
    return kind == other.kind && key == other.key && value_name == other.value_name &&
           type == other.type && data == other.data;
  }
};

struct RegTextError {
  int line = 0;  // 1 for the first line
  std::string message;
};

struct ParsedRegText {
  std::vector<RegOperation> operations;  // empty when `error` is set
  std::optional<RegTextError> error;
};

ParsedRegText ParseRegText(std::string_view text);

// The operations as text in the format above. Values follow the "[KEY]" line of their
// key (one is added where they would not). False, with *error naming it, when a key or
// value name holds a line break or a NUL, which the format cannot carry.
bool WriteRegText(const std::vector<RegOperation>& operations, std::string* text,
                  std::string* error);

}  // namespace pellreg
