#include "show_queue_file.h"

#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>

#include "compose/control_file_reader.h"
#include "pellam.h"

namespace pellqueue {
namespace {

// 100-nanosecond units since 1601 as "YYYY-MM-DD HH:MM:SS UTC".
std::string FileTimeText(uint64_t file_time) {
  constexpr uint64_t kEpochDifference = 116444736000000000ULL;  // 1601 to 1970
  if (file_time < kEpochDifference) return "before 1970";
  std::time_t seconds = static_cast<std::time_t>((file_time - kEpochDifference) / 10000000ULL);
  std::tm tm{};
  gmtime_r(&seconds, &tm);
  char text[40];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &tm);
  return text;
}

// Shows CR LF line ends as the lines they are, and other control bytes as escapes.
void Indented(std::ostream& out, std::string_view text) {
  out << "    ";
  for (std::size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    if (c == '\n') {
      if (i + 1 < text.size()) out << "\n    ";
      continue;
    }
    if (c < 0x20 && c != '\t') {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02X", c);
      out << escape;
    } else {
      out << static_cast<char>(c);
    }
  }
  out << "\n";
}

std::string_view Part(const std::string& text, uint8_t offset, uint8_t length) {
  if (offset > text.size()) return {};
  return std::string_view(text).substr(offset, length);
}

}  // namespace

uint32_t ShowQueueFile(const char* path, std::ostream& out) {
  pellam::control::ControlFileContents contents;
  if (uint32_t code = pellam::control::ReadControlFile(path, &contents)) return code;
  const pellam::control::ControlFile& items = contents.items;
  out << path << "\n";
  out << "  created  " << FileTimeText(items.creation_time) << "\n";
  out << "  options  " << items.options << "\n";
  out << "  " << items.addresses.size() << (items.addresses.size() == 1 ? " address" : " addresses") << "\n";
  for (const auto& a : items.addresses) {
    out << "    " << a.text;
    if (a.form == ADDR_FORM_EXTERNAL) {
      out << "  (external)";
    } else if (a.node_length == 0) {
      out << "  (local user " << Part(a.text, a.user_offset, a.user_length) << ")";
    } else {
      out << "  (node " << Part(a.text, a.node_offset, a.node_length) << ", user "
          << Part(a.text, a.user_offset, a.user_length) << ")";
    }
    out << "\n";
  }
  out << "  header section, " << items.sections.header_length << " bytes\n";
  Indented(out, contents.header());
  out << "  text, " << items.sections.text_length << " bytes\n";
  Indented(out, contents.text());
  return 0;
}

}  // namespace pellqueue
