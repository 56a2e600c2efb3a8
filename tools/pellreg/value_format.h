// Value types and data as pellreg's command line takes and shows them: type names,
// the /d text turned into stored bytes (range-checked numbers, "\0" between the
// strings of a multi-string, hex digits for binary) and stored bytes shown as text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pellreg {

using Bytes = std::vector<uint8_t>;

// "REG_SZ", ...; a type without a name shows as "REG_UNKNOWN(0xb)".
std::string TypeName(uint32_t type);

// One of the five types an administrator may give with /t, in any letter case.
std::optional<uint32_t> ParseTypeName(std::string_view name);

// The stored form of /d DATA for `type`; without /d a string is empty, a multi-string
// has no strings, a number is 0 and binary data has no bytes. False, with a complete
// message in *error, for a bad number, bad hex digits or an empty string inside a
// multi-string.
bool EncodeData(uint32_t type, const std::optional<std::string>& text, Bytes* data,
                std::string* error);

// The data as a query shows it: strings up to their NUL, a multi-string's strings
// joined by "\0", a 4-byte number as 0x hex, anything else as upper-case hex digits.
std::string DisplayData(uint32_t type, const Bytes& data);

// How a value name is shown: the default value (name "") as "(Default)".
std::string DisplayName(const std::string& name);

}  // namespace pellreg
