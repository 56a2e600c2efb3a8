// The message file that a local recipient receives: a "Received:" line by the local
// node with the time of delivery after a semicolon (the form the library's receive-date
// reader takes), a "Date:" line with the time of posting unless the message has one,
// then the control file's header section and its text, unchanged.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace pellam::service {

// "Mon, 12 Jan 1995 10:20:30 +0100" in local time, with English names whatever the
// locale.
std::string MailDateText(std::time_t when);

// The time of a FILETIME (100-nanosecond units since 1601, UTC); 0 for one before 1970.
std::time_t FromFileTime(uint64_t file_time);

struct DeliveredMessage {
  std::string bytes;
  uint32_t header_length = 0;  // the Received and Date lines and the header section
};

DeliveredMessage BuildDeliveredMessage(const std::string& node, std::time_t received, std::time_t posted,
                                       bool has_date, std::string_view header, std::string_view text);

}  // namespace pellam::service
