// Reading and writing the text registry format; see reg_text.h.
#include "pellreg/reg_text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "platform/registry.h"

namespace pellreg {
namespace {

using Kind = RegOperation::Kind;

constexpr std::string_view kBlanks = " \t\r";
constexpr std::size_t kMaxLineWidth = 80;

std::string_view Trim(std::string_view text) {
  std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  std::size_t last = text.find_last_not_of(kBlanks);
  return text.substr(first, last - first + 1);
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  }
  return true;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// 1 to `max_digits` hex digits and nothing else.
bool ParseHexNumber(std::string_view digits, std::size_t max_digits, uint32_t* value) {
  if (digits.empty() || digits.size() > max_digits) return false;
  uint32_t number = 0;
  for (char c : digits) {
    int digit = HexValue(c);
    if (digit < 0) return false;
    number = number << 4 | static_cast<uint32_t>(digit);
  }
  *value = number;
  return true;
}

// Physical lines of the text, split at LF; the number of the line last returned.
class Lines {
 public:
  explicit Lines(std::string_view text) : text_(text) {}

  bool Next(std::string_view* line) {
    if (pos_ > text_.size() || (pos_ == text_.size() && number_ > 0)) return false;
    std::size_t end = text_.find('\n', pos_);
    if (end == std::string_view::npos) end = text_.size();
    *line = text_.substr(pos_, end - pos_);
    pos_ = end + 1;
    ++number_;
    return true;
  }
  int number() const { return number_; }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
  int number_ = 0;
};

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text), lines_(text) {}

  ParsedRegText Run() {
    if (!CheckNoNul() || !ReadHeader()) return Result();
    std::string_view line;
    while (!error_ && lines_.Next(&line)) {
      std::string_view t = Trim(line);
      if (t.empty() || t.front() == ';') continue;
      if (t.front() == '[') {
        ReadKeyLine(t);
      } else if (t.front() == '"' || t.front() == '@') {
        ReadValueLine(t);
      } else {
        Fail(lines_.number(), "expected a [KEY] line or a value line (\"name\"=...)");
      }
    }
    return Result();
  }

 private:
  enum class Section { kNone, kCreate, kDelete };

  ParsedRegText Result() {
    ParsedRegText result;
    if (error_) {
      result.error = error_;
    } else {
      result.operations = std::move(operations_);
    }
    return result;
  }

  void Fail(int line, std::string message) {
    if (!error_) error_ = RegTextError{line, std::move(message)};
  }

  // Names reach the store as C strings, where a NUL would silently cut them short.
  bool CheckNoNul() {
    std::size_t nul = text_.find('\0');
    if (nul == std::string_view::npos) return true;
    std::string_view before = text_.substr(0, nul);
    int line = 1 + static_cast<int>(std::count(before.begin(), before.end(), '\n'));
    Fail(line, "the line holds a NUL byte");
    return false;
  }

  bool ReadHeader() {
    std::string_view line;
    if (!lines_.Next(&line) || Trim(line) != kRegTextHeader) {
      Fail(1, "the first line must be \"" + std::string(kRegTextHeader) + "\"");
      return false;
    }
    return true;
  }

  void ReadKeyLine(std::string_view t) {
    const int n = lines_.number();
    if (t.back() != ']' || t.size() < 2) {
      Fail(n, "a [KEY] line must end with \"]\"");
      return;
    }
    std::string_view inner = t.substr(1, t.size() - 2);
    const bool deletes = !inner.empty() && inner.front() == '-';
    if (deletes) inner.remove_prefix(1);
    std::string error;
    std::optional<KeyPath> key = ParseKeyPath(inner, &error);
    if (!key) {
      Fail(n, error);
      return;
    }
    if (deletes && IsHiveRoot(*key)) {
      Fail(n, "a root key cannot be deleted");
      return;
    }
    RegOperation op;
    op.kind = deletes ? Kind::kDeleteKey : Kind::kCreateKey;
    op.key = *key;
    op.line = n;
    operations_.push_back(std::move(op));
    section_ = deletes ? Section::kDelete : Section::kCreate;
    section_key_ = *key;
  }

  // A quoted string starting at t[*pos] (a '"'), with \\ and \" as its only escapes.
  bool ReadQuoted(std::string_view t, std::size_t* pos, std::string* out) {
    const int n = lines_.number();
    for (std::size_t i = *pos + 1; i < t.size(); ++i) {
      if (t[i] == '"') {
        *pos = i + 1;
        return true;
      }
      if (t[i] == '\\') {
        if (i + 1 < t.size() && (t[i + 1] == '\\' || t[i + 1] == '"')) {
          *out += t[++i];
          continue;
        }
        if (i + 1 >= t.size()) break;
        Fail(n, std::string("unknown escape \"\\") + t[i + 1] +
                    "\" in a string (only \\\\ and \\\" are known)");
        return false;
      }
      *out += t[i];
    }
    Fail(n, "a string is not closed by \"");
    return false;
  }

  void ReadValueLine(std::string_view t) {
    const int n = lines_.number();
    if (section_ == Section::kNone) {
      Fail(n, "a value line before the first [KEY] line");
      return;
    }
    if (section_ == Section::kDelete) {
      Fail(n, "a value line below a [-KEY] line, which deletes the key");
      return;
    }
    RegOperation op;
    op.key = section_key_;
    op.line = n;
    std::size_t pos = 1;  // after "@"
    if (t.front() == '"') {
      pos = 0;
      if (!ReadQuoted(t, &pos, &op.value_name)) return;
    }
    if (!IsWritableName(op.value_name)) {
      Fail(n, "a value name cannot hold a line break");
      return;
    }
    std::string_view rest = Trim(t.substr(pos));
    if (rest.empty() || rest.front() != '=') {
      Fail(n, "expected \"=\" after the value name");
      return;
    }
    std::string_view data = Trim(rest.substr(1));
    if (data == "-") {
      op.kind = Kind::kDeleteValue;
    } else if (!ReadData(data, &op)) {
      return;
    }
    operations_.push_back(std::move(op));
  }

  bool ReadData(std::string_view data, RegOperation* op) {
    const int n = lines_.number();
    op->kind = Kind::kSetValue;
    if (!data.empty() && data.front() == '"') {
      std::size_t pos = 0;
      std::string text;
      if (!ReadQuoted(data, &pos, &text)) return false;
      if (pos != data.size()) {
        Fail(n, "unexpected text after the closing \" of the string");
        return false;
      }
      op->type = platform::REG_SZ;
      op->data.assign(text.begin(), text.end());
      op->data.push_back(0);
      return true;
    }
    if (StartsWithIgnoringCase(data, "dword:")) {
      uint32_t number = 0;
      if (!ParseHexNumber(data.substr(6), 8, &number)) {
        Fail(n, "dword: must be followed by 1 to 8 hex digits");
        return false;
      }
      op->type = platform::REG_DWORD;
      for (int i = 0; i < 4; ++i) op->data.push_back(static_cast<uint8_t>(number >> (8 * i)));
      return true;
    }
    if (StartsWithIgnoringCase(data, "hex:")) {
      op->type = platform::REG_BINARY;
      return ReadHexBytes(data.substr(4), op);
    }
    if (StartsWithIgnoringCase(data, "hex(")) {
      std::size_t close = data.find("):");
      if (close == std::string_view::npos || !ParseHexNumber(data.substr(4, close - 4), 8, &op->type)) {
        Fail(n, "hex( must be followed by a type of 1 to 8 hex digits and \"):\"");
        return false;
      }
      return ReadHexBytes(data.substr(close + 2), op);
    }
    Fail(n, "unknown value data \"" + std::string(data) +
                "\" (give \"string\", dword:, hex:, hex(N): or -)");
    return false;
  }

  // Comma-separated bytes; a line ending in "\" continues on the next line. Errors name
  // the line on which the faulty byte stands.
  bool ReadHexBytes(std::string_view first, RegOperation* op) {
    struct Piece {
      std::size_t offset;
      int line;
    };
    std::vector<Piece> pieces;
    std::string joined;
    std::string_view part = first;
    int line = lines_.number();
    while (true) {
      part = Trim(part);
      const bool continues = !part.empty() && part.back() == '\\';
      if (continues) part.remove_suffix(1);
      pieces.push_back({joined.size(), line});
      joined += part;
      if (!continues) break;
      if (!lines_.Next(&part)) {
        Fail(line, "the file ends after a \"\\\" that continues the line");
        return false;
      }
      line = lines_.number();
    }
    auto line_at = [&](std::size_t offset) {
      int at = pieces.front().line;
      for (const Piece& p : pieces) {
        if (p.offset <= offset) at = p.line;
      }
      return at;
    };
    if (Trim(joined).empty()) return true;
    std::size_t start = 0;
    while (true) {
      std::size_t comma = joined.find(',', start);
      std::string_view token = std::string_view(joined).substr(start, comma - start);
      std::string_view digits = Trim(token);
      uint32_t byte = 0;
      if (digits.empty()) {
        Fail(line_at(start), "a hex byte is missing between commas");
        return false;
      }
      if (!ParseHexNumber(digits, 2, &byte)) {
        Fail(line_at(start), "bad hex byte \"" + std::string(digits) + "\" (give 00 to ff)");
        return false;
      }
      op->data.push_back(static_cast<uint8_t>(byte));
      if (comma == std::string::npos) return true;
      start = comma + 1;
    }
  }

  std::string_view text_;
  Lines lines_;
  std::vector<RegOperation> operations_;
  std::optional<RegTextError> error_;
  Section section_ = Section::kNone;
  KeyPath section_key_;
};

std::string Quoted(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') quoted += '\\';
    quoted += c;
  }
  return quoted + '"';
}

// A string that ends in its one NUL and holds no line break can be written as
// "text"; anything else is written as its bytes, so that every value comes back as
// it was stored.
bool IsPlainString(const Bytes& data) {
  if (data.empty() || data.back() != 0) return false;
  return std::none_of(data.begin(), data.end() - 1,
                      [](uint8_t b) { return b == 0 || b == '\r' || b == '\n'; });
}

void AppendHexBytes(const Bytes& data, std::size_t column, std::string* out) {
  static constexpr char kDigits[] = "0123456789abcdef";
  for (std::size_t i = 0; i < data.size(); ++i) {
    // Wrap before a byte that would carry the line past the width (with its "," and
    // the "\" that continues the line).
    if (i > 0 && column + 4 > kMaxLineWidth) {
      *out += "\\\r\n  ";
      column = 2;
    }
    *out += kDigits[data[i] >> 4];
    *out += kDigits[data[i] & 0xF];
    column += 2;
    if (i + 1 < data.size()) {
      *out += ',';
      ++column;
    }
  }
}

std::string ValueLine(const RegOperation& op) {
  std::string line = op.value_name.empty() ? "@" : Quoted(op.value_name);
  line += '=';
  if (op.kind == Kind::kDeleteValue) return line + "-";
  char prefix[32];
  if (op.type == platform::REG_SZ && IsPlainString(op.data)) {
    return line + Quoted(std::string(op.data.begin(), op.data.end() - 1));
  }
  if (op.type == platform::REG_DWORD && op.data.size() == 4) {
    uint32_t number = 0;
    for (int i = 3; i >= 0; --i) number = number << 8 | op.data[static_cast<std::size_t>(i)];
    std::snprintf(prefix, sizeof prefix, "dword:%08x", number);
    return line + prefix;
  }
  if (op.type == platform::REG_BINARY) {
    std::snprintf(prefix, sizeof prefix, "hex:");
  } else {
    std::snprintf(prefix, sizeof prefix, "hex(%x):", op.type);
  }
  line += prefix;
  AppendHexBytes(op.data, line.size(), &line);
  return line;
}

}  // namespace

ParsedRegText ParseRegText(std::string_view text) { return Parser(text).Run(); }

bool WriteRegText(const std::vector<RegOperation>& operations, std::string* text,
                  std::string* error) {
  std::string out(kRegTextHeader);
  out += "\r\n\r\n";
  bool in_section = false;
  bool section_deletes = false;
  KeyPath section_key;
  auto start_section = [&](const KeyPath& key, bool deletes) {
    if (in_section) out += "\r\n";
    out += (deletes ? "[-" : "[") + FullName(key) + "]\r\n";
    in_section = true;
    section_deletes = deletes;
    section_key = key;
  };
  for (const RegOperation& op : operations) {
    if (!IsWritableName(op.key.sub_key)) {
      *error = "the key name \"" + FullName(op.key) + "\" holds a line break";
      return false;
    }
    switch (op.kind) {
      case Kind::kCreateKey:
      case Kind::kDeleteKey:
        start_section(op.key, op.kind == Kind::kDeleteKey);
        break;
      case Kind::kSetValue:
      case Kind::kDeleteValue:
        if (!IsWritableName(op.value_name)) {
          *error = "the value name \"" + op.value_name + "\" of " + FullName(op.key) +
                   " holds a line break";
          return false;
        }
        if (!in_section || section_deletes || !(section_key == op.key)) {
          start_section(op.key, false);
        }
        out += ValueLine(op) + "\r\n";
        break;
    }
  }
  if (in_section) out += "\r\n";
  *text = std::move(out);
  return true;
}

}  // namespace pellreg
