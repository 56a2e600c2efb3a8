// Error report texts.
#include "app/error_report.h"

#include <cstring>

#include "pellam.h"
#include "platform/text_line.h"

namespace pelldesk {

std::optional<std::string> FormatErrorReport(const char* format, const char* text,
                                             uint32_t status) {
  if (format == nullptr) return std::nullopt;
  std::string message;
  bool filled = false;
  for (const char* p = format; *p != '\0'; ++p) {
    if (*p != '%') {
      message.push_back(*p);
      continue;
    }
    ++p;
    if (*p == '%') {
      message.push_back('%');
    } else if (*p == 's' && !filled) {
      message += text != nullptr ? text : "(null)";
      filled = true;
    } else {
      return std::nullopt;
    }
    if (message.size() > kReportMessageMax) return std::nullopt;
  }
  if (message.empty() || message.size() > kReportMessageMax) return std::nullopt;

  if (status != 0) {
    message += "\r\n\r\n";
    char buffer[kReportSize];
    const std::size_t room = kReportSize - message.size();
    const char* status_text = GetErrorText(status, buffer, static_cast<uint32_t>(room), nullptr);
    // The library's constant last-resort text needs no buffer; it is cut to the room.
    message.append(status_text, strnlen(status_text, room - 1));
  }
  message.resize(platform::WithoutLineEnd(message).size());
  return message;
}

}  // namespace pelldesk
