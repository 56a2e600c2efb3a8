// Composing the error report. It is automatic mail: a report about a report is never
// sent, since the service answers no message that carries an Auto-Submitted line.
#include "error_report.h"

namespace pellam::service {

GeneratedMail ErrorReportMail(const Undeliverable& failure, std::string* text) {
  text->clear();
  for (const FailedRecipient& f : failure.failed) {
    *text += "Your message could not be delivered to " + f.address + ".\r\n" + f.reason + "\r\n\r\n";
  }
  if (failure.text.size() <= kMaxRepeatedText) {
    *text += "----- Your message follows -----\r\n\r\n";
    text->append(failure.header);
    text->append(failure.text);
  } else {
    *text += "----- The header section of your message follows; its text of " + std::to_string(failure.text.size()) +
             " bytes is not repeated -----\r\n\r\n";
    text->append(failure.header);
  }
  GeneratedMail mail;
  mail.to = failure.sender;
  mail.from = FromText(kServiceSender, "Mail delivery service");
  mail.subject = failure.subject.empty() ? "Undeliverable mail" : "Undeliverable mail: " + failure.subject;
  mail.automatic = "auto-generated";
  mail.text = *text;
  return mail;
}

}  // namespace pellam::service
