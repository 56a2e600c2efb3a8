// Reading the header section with the library's header reader, plus a count of the
// Received lines, which the reader (first value of a name only) does not give.
#include "message_info.h"

#include <strings.h>

#include "pellam.h"

namespace pellam::service {
namespace {

// Lines of the header section that begin with "Received:", in any letter case.
uint32_t CountReceived(std::string_view header) {
  uint32_t count = 0;
  size_t at = 0;
  while (at < header.size()) {
    const size_t end = header.find('\n', at);
    const std::string_view line = header.substr(at, end == std::string_view::npos ? end : end - at);
    if (line.size() >= 9 && ::strncasecmp(line.data(), "Received:", 9) == 0) ++count;
    if (end == std::string_view::npos) break;
    at = end + 1;
  }
  return count;
}

// The first address of an address list, as ScanAddr finds it.
std::string FirstAddress(const char* list) {
  const char* start = nullptr;
  const char* end = nullptr;
  const char* next = nullptr;
  if (ScanAddr(list, &start, &end, &next, 0) != 0) return {};
  return std::string(start, end);
}

}  // namespace

MessageInfo ReadMessageInfo(std::string_view header_section) {
  MessageInfo info;
  info.hops = CountReceived(header_section);
  static const char* const kNames[] = {"From", "Subject", "Auto-Submitted", "Date"};
  char* values[4] = {};
  const char* text = header_section.data();
  int32_t length = static_cast<int32_t>(header_section.size());
  // A section that does not read is still delivered; only its details stay unknown.
  if (GetMailHeaders(&text, &length, 4, kNames, values) != 0) return info;
  if (values[0] != nullptr) info.sender = FirstAddress(values[0]);
  if (values[1] != nullptr) info.subject = values[1];
  info.automatic = values[2] != nullptr && ::strcasecmp(values[2], "no") != 0;
  info.has_date = values[3] != nullptr;
  FreeMailHeaders(4, values);
  return info;
}

}  // namespace pellam::service
