// Mail that the service writes itself (error reports, automatic replies), queued
// through the library's composition calls like any other message. Every such message
// carries an "Auto-Submitted" line, and the service never answers a message that has
// one, so automatic mail cannot bounce between two services for ever.
#pragma once

#include <cstdint>
#include <functional>
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

// A message ready to be queued: its one address (taken literally), its whole header
// section (ending in the empty line) and its text.
struct PreparedMail {
  std::string to;
  std::string header;
  std::string_view text;
  int text_file = -1;  // when not -1, the text instead: this open file from its position on
};

// The header section of a generated message, with its Auto-Submitted line.
PreparedMail Prepare(const GeneratedMail& mail);

// Told, once the control file is complete in the temporary directory and before it
// is moved into the queue, its full name and inode; a failure it returns stops the
// posting (the file is discarded). The journal records the posting here.
using BeforePost = std::function<uint32_t(const std::string& temp, uint64_t inode)>;

// Told the temporary file's name when a posting that `before` accepted failed, just
// before the file is discarded.
using BeforeDiscard = std::function<void(const std::string& temp)>;

// Queues the message; 0 or the composition's failure, with nothing left in the queue.
// `before` and `discard`, when given, run as described above.
uint32_t PostPrepared(const PreparedMail& mail, const BeforePost& before = {}, const BeforeDiscard& discard = {});

// Prepares and queues the message, with no journal.
uint32_t PostGeneratedMail(const GeneratedMail& mail);

// "NAME  (Full Name)" as the library writes a From text, or "NAME" when the full name
// is empty or is no valid personal name.
std::string FromText(const std::string& account, const std::string& full_name);

}  // namespace pellam::service
