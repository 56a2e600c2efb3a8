// Building the delivered message file. Names of days and months come from fixed
// tables, not strftime, so that a locale set in the environment cannot change a text
// that readers parse.
#include "delivered_message.h"

#include <cstdio>
#include <cstdlib>

namespace pellam::service {

std::string MailDateText(std::time_t when) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::tm local{};
  ::localtime_r(&when, &local);
  const long offset = local.tm_gmtoff / 60;
  char text[64];
  std::snprintf(text, sizeof text, "%s, %d %s %d %02d:%02d:%02d %c%02ld%02ld", kDays[local.tm_wday], local.tm_mday,
                kMonths[local.tm_mon], local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec,
                offset < 0 ? '-' : '+', std::labs(offset) / 60, std::labs(offset) % 60);
  return text;
}

std::time_t FromFileTime(uint64_t file_time) {
  constexpr uint64_t kUnixEpoch = 116444736000000000ull;  // 1970-01-01 as a FILETIME
  return file_time < kUnixEpoch ? 0 : static_cast<std::time_t>((file_time - kUnixEpoch) / 10000000ull);
}

DeliveredMessage BuildDeliveredMessage(const std::string& node, std::time_t received, std::time_t posted,
                                       bool has_date, std::string_view header, std::string_view text) {
  DeliveredMessage message;
  message.bytes = "Received: by " + node + "; " + MailDateText(received) + "\r\n";
  if (!has_date) message.bytes += "Date: " + MailDateText(posted) + "\r\n";
  message.bytes.append(header);
  // A control file always carries its empty line; one that does not still gets the
  // line that keeps the header section apart from the text.
  if (header.empty()) message.bytes += "\r\n";
  message.header_length = static_cast<uint32_t>(message.bytes.size());
  message.bytes.append(text);
  return message;
}

}  // namespace pellam::service
