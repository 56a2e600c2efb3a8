// The report that goes back to the sender of a message that could not be delivered to
// some of its recipients: one report per control file and attempt, naming each failed
// recipient with the catalogue's text of the reason, then the message itself.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "generated_mail.h"

namespace pellam::service {

inline constexpr char kServiceSender[] = "PELLAM";

// The message's text is repeated in the report only up to this size; a larger one is
// left out, so that a report can always be posted.
inline constexpr size_t kMaxRepeatedText = 1u << 20;

struct FailedRecipient {
  std::string address;  // as the control file gave it
  std::string reason;   // the catalogue's text, inserts filled
};

struct Undeliverable {
  std::string sender;  // where the report goes
  std::vector<FailedRecipient> failed;
  std::string subject;  // of the original message
  std::string_view header;
  std::string_view text;
};

// The report as mail, ready to post.
GeneratedMail ErrorReportMail(const Undeliverable& failure, std::string* text_storage);

}  // namespace pellam::service
