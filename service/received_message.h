// A message arriving by MAIL-11, written as it arrives into a temporary file of the
// service (MailTempPath, "rcv" prefix, mode 0600), in the shape the client and the
// library read: a Received line by this node with the date, From (the route it came
// by and the personal name), To, Cc, Subject, the empty line, then one CR LF line per
// body record. The file is removed when the object goes, whatever happened; only a
// message that Finish has flushed may be handed on.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace pellam::service {

// The header fields of an incoming message, each a single line.
struct IncomingHeader {
  std::string route;     // "ALPHA::SMITH": the calling node, then the sender as sent
  std::string personal;  // "" when none, or none that reads as a personal name
  std::string to, cc, subject;
};

// The From route and personal name from a sender record: the first address token is
// the sender; what follows it, without its parentheses or quotes, is a personal name
// when CheckPNameIn passes it. A record without a token gives the sender "UNKNOWN".
IncomingHeader FromSenderRecord(const std::string& calling_node, std::string_view sender);

// The nodes a route has passed ("A::B::USER" has passed 2), quoted parts not counted.
uint32_t RouteHops(std::string_view route);

// "From: ...", "To: ...", "Cc: ..." (when not empty), "Subject: ...", and the empty
// line, all ending in CR LF; `route_prefix` ("BRAVO::" for a relay, else "") goes
// before the route. Every value passes OneHeaderLine, so the result is always one
// well-formed header section, whatever the fields hold.
std::string HeaderFields(const IncomingHeader& header, const std::string& route_prefix = {});

// Header values are single lines of text: line breaks become blanks, NULs go.
std::string OneHeaderLine(std::string_view value);

class ReceivedMessage {
 public:
  ReceivedMessage() = default;
  ~ReceivedMessage() { Discard(); }
  ReceivedMessage(const ReceivedMessage&) = delete;
  ReceivedMessage& operator=(const ReceivedMessage&) = delete;

  // Creates the file in `temp_directory` and writes the header section. 0 or a code.
  uint32_t Begin(const std::string& temp_directory, const std::string& node, const IncomingHeader& header,
                 std::time_t received);
  // One body line. NUL bytes are dropped: message files are text, read as C strings.
  uint32_t AddLine(std::string_view line);
  // Flushes the file to disk. 0 or a code.
  uint32_t Finish();
  // Closes and removes the file (done by the destructor too).
  void Discard();

  int file() const { return file_.get(); }
  const std::string& path() const { return path_; }
  const std::string& header() const { return header_; }  // the header section written
  const IncomingHeader& fields() const { return fields_; }
  // Received lines and an Auto-Submitted line at the head of the text: a header
  // section carried along inside it (a copy forwarded on), so that hops keep adding
  // up and automatic mail stays unanswered.
  uint32_t received_lines() const { return received_lines_; }
  bool automatic() const { return automatic_; }

 private:
  platform::UniqueFile file_;
  std::string path_;
  std::string header_;
  IncomingHeader fields_;
  uint32_t WritePending();

  std::string pending_;  // lines not yet written, written in pieces of 64 KiB
  bool in_leading_block_ = true;
  uint32_t received_lines_ = 0;
  bool automatic_ = false;
};

}  // namespace pellam::service
