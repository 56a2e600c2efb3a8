// Composing the error report. It is automatic mail: a report about a report is never
// sent, since the service answers no message that carries an Auto-Submitted line.
#include "error_report.h"

#include "generated_mail.h"

namespace pellam::service {

uint32_t PostErrorReport(const Undeliverable& failure) {
  std::string text = "Your message could not be delivered to " + failure.recipient + ".\r\n\r\n" +
                     failure.reason + "\r\n\r\n----- Your message follows -----\r\n\r\n";
  text.append(failure.header);
  text.append(failure.text);
  GeneratedMail mail;
  mail.to = failure.sender;
  mail.from = FromText(kServiceSender, "Mail delivery service");
  mail.subject = failure.subject.empty() ? "Undeliverable mail" : "Undeliverable mail: " + failure.subject;
  mail.automatic = "auto-generated";
  mail.text = text;
  return PostGeneratedMail(mail);
}

}  // namespace pellam::service
