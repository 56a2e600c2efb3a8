// The report that goes back to the sender of a message that could not be delivered to
// one of its recipients: the catalogue's text of the reason, then the message itself.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pellam::service {

inline constexpr char kServiceSender[] = "PELLAM";

struct Undeliverable {
  std::string sender;     // where the report goes
  std::string recipient;  // the address that failed, as the control file gave it
  std::string reason;     // the catalogue's text, inserts filled
  std::string subject;    // of the original message
  std::string_view header;
  std::string_view text;
};

// Queues the report; 0 or the composition's failure.
uint32_t PostErrorReport(const Undeliverable& failure);

}  // namespace pellam::service
