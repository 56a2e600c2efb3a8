// Mail that the service writes itself (error reports, automatic replies), queued
// through the library's composition calls like any other message. Every such message
// carries an "Auto-Submitted" line, and the service never answers a message that has
// one, so automatic mail cannot bounce between two services for ever.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pellam::service {

struct GeneratedMail {
  std::string to;       // one address, taken literally
  std::string from;     // the From text: "NAME" or "NAME  (Full Name)"
  std::string subject;
  std::string automatic;  // the Auto-Submitted value: "auto-generated" or "auto-replied"
  std::string_view text;
};

// Queues the message; 0 or the composition's failure, with nothing left in the queue.
uint32_t PostGeneratedMail(const GeneratedMail& mail);

// "NAME  (Full Name)" as the library writes a From text, or "NAME" when the full name
// is empty or is no valid personal name.
std::string FromText(const std::string& account, const std::string& full_name);

}  // namespace pellam::service
