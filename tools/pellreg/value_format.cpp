// Conversions between pellreg's command-line text and stored value data; see
// value_format.h.
#include "pellreg/value_format.h"

#include <cctype>
#include <cstdio>

#include "platform/registry.h"

namespace pellreg {
namespace {

using platform::REG_BINARY;
using platform::REG_DWORD;
using platform::REG_EXPAND_SZ;
using platform::REG_MULTI_SZ;
using platform::REG_NONE;
using platform::REG_SZ;

constexpr std::string_view kMultiSeparator = "\\0";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string UpperCase(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

bool ParseNumber(const std::string& text, uint32_t* value, std::string* error) {
  const std::string bad = "bad number \"" + text +
                          "\" for REG_DWORD: give 0 to 4294967295 in decimal or as 0x hex";
  bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  std::string_view digits = std::string_view(text).substr(hex ? 2 : 0);
  if (digits.empty()) {
    *error = bad;
    return false;
  }
  uint64_t number = 0;
  for (char c : digits) {
    int digit = hex ? HexValue(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
    if (digit < 0) {
      *error = bad;
      return false;
    }
    number = number * (hex ? 16 : 10) + static_cast<uint64_t>(digit);
    if (number > 0xFFFFFFFFu) {
      *error = "number \"" + text + "\" is out of range for REG_DWORD (0 to 4294967295)";
      return false;
    }
  }
  *value = static_cast<uint32_t>(number);
  return true;
}

bool ParseHexDigits(const std::string& text, Bytes* data, std::string* error) {
  if (text.size() % 2 != 0) {
    *error = "bad binary data \"" + text + "\": give pairs of hex digits, as in 01a0ff";
    return false;
  }
  for (std::size_t i = 0; i < text.size(); i += 2) {
    int high = HexValue(text[i]);
    int low = HexValue(text[i + 1]);
    if (high < 0 || low < 0) {
      *error = "bad binary data \"" + text + "\": give pairs of hex digits, as in 01a0ff";
      return false;
    }
    data->push_back(static_cast<uint8_t>(high * 16 + low));
  }
  return true;
}

bool EncodeMultiString(const std::string& text, Bytes* data, std::string* error) {
  // An empty string would end the list early for every reader, so it is refused
  // rather than stored as something the reader does not see.
  std::size_t start = 0;
  while (!text.empty()) {
    std::size_t end = text.find(kMultiSeparator, start);
    std::string_view part = std::string_view(text).substr(start, end - start);
    if (part.empty()) {
      *error = "REG_MULTI_SZ data cannot hold an empty string (\"\\0\" at the start, at the "
               "end or twice in a row)";
      return false;
    }
    data->insert(data->end(), part.begin(), part.end());
    data->push_back(0);
    if (end == std::string::npos) break;
    start = end + kMultiSeparator.size();
  }
  data->push_back(0);
  return true;
}

}  // namespace

std::string TypeName(uint32_t type) {
  switch (type) {
    case REG_NONE:
      return "REG_NONE";
    case REG_SZ:
      return "REG_SZ";
    case REG_EXPAND_SZ:
      return "REG_EXPAND_SZ";
    case REG_BINARY:
      return "REG_BINARY";
    case REG_DWORD:
      return "REG_DWORD";
    case REG_MULTI_SZ:
      return "REG_MULTI_SZ";
    default:
      break;
  }
  char name[32];
  std::snprintf(name, sizeof name, "REG_UNKNOWN(0x%x)", type);
  return name;
}

std::optional<uint32_t> ParseTypeName(std::string_view name) {
  const std::string upper = UpperCase(name);
  for (uint32_t type : {REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_BINARY}) {
    if (upper == TypeName(type)) return type;
  }
  return std::nullopt;
}

bool EncodeData(uint32_t type, const std::optional<std::string>& text, Bytes* data,
                std::string* error) {
  data->clear();
  const std::string given = text.value_or("");
  switch (type) {
    case REG_DWORD: {
      uint32_t number = 0;
      if (text && !ParseNumber(given, &number, error)) return false;
      for (int i = 0; i < 4; ++i) data->push_back(static_cast<uint8_t>(number >> (8 * i)));
      return true;
    }
    case REG_BINARY:
      return ParseHexDigits(given, data, error);
    case REG_MULTI_SZ:
      return EncodeMultiString(given, data, error);
    default:
      data->assign(given.begin(), given.end());
      data->push_back(0);
      return true;
  }
}

std::string DisplayData(uint32_t type, const Bytes& data) {
  const std::string text(data.begin(), data.end());
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
      return text.substr(0, text.find('\0'));
    case REG_MULTI_SZ: {
      std::string shown;
      std::size_t start = 0;
      while (start < text.size() && text[start] != '\0') {
        std::size_t end = text.find('\0', start);
        if (!shown.empty()) shown += kMultiSeparator;
        shown += text.substr(start, end - start);
        if (end == std::string::npos) break;
        start = end + 1;
      }
      return shown;
    }
    case REG_DWORD:
      if (data.size() == 4) {
        uint32_t number = 0;
        for (int i = 3; i >= 0; --i) number = number << 8 | data[static_cast<std::size_t>(i)];
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%x", number);
        return hex;
      }
      break;
    default:
      break;
  }
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (uint8_t byte : data) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0xF];
  }
  return hex;
}

std::string DisplayName(const std::string& name) { return name.empty() ? "(Default)" : name; }

}  // namespace pellreg
