// Building the incoming message file. Everything the peer sends is untrusted text:
// header values lose their line breaks so that no line of the peer's can pose as a
// header line of ours, and the personal name must pass CheckPNameIn.
#include "received_message.h"

#include <strings.h>

#include "delivered_message.h"
#include "pellam.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/tempfile.h"

namespace pellam::service {
namespace {

constexpr size_t kWriteChunk = 64 * 1024;

uint32_t LastError() {
  const uint32_t code = platform::GetLastError();
  return code != 0 ? code : ERROR_GEN_FAILURE;
}

std::string_view TrimBlanks(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || (c >= 0x08 && c <= 0x0D); };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// A personal name as VMS and the gateways write it after the address: in parentheses
// or in double quotes, or bare.
std::string PersonalName(std::string_view rest) {
  rest = TrimBlanks(rest);
  if (rest.size() >= 2 && ((rest.front() == '(' && rest.back() == ')') || (rest.front() == '"' && rest.back() == '"'))) {
    rest = TrimBlanks(rest.substr(1, rest.size() - 2));
  }
  std::string name = OneHeaderLine(rest);
  if (name.size() != rest.size() || CheckPNameIn(name.c_str()) != 0) return {};
  return name;
}

}  // namespace

std::string OneHeaderLine(std::string_view value) {
  std::string line;
  line.reserve(value.size());
  for (const char c : value) {
    if (c == '\0') continue;
    line += c == '\r' || c == '\n' ? ' ' : c;
  }
  return line;
}

IncomingHeader FromSenderRecord(const std::string& calling_node, std::string_view sender) {
  IncomingHeader header;
  const std::string text = OneHeaderLine(sender);
  const char* start = nullptr;
  const char* end = nullptr;
  const char* next = nullptr;
  std::string user = "UNKNOWN";
  if (ScanAddr(text.c_str(), &start, &end, &next, 1) == 0) {
    user.assign(start, end);
    // A line break is what CheckPNameIn refuses; it is gone from `text` already.
    if (sender.find_first_of("\r\n") == std::string_view::npos) header.personal = PersonalName(std::string_view(next));
  }
  header.route = calling_node + "::" + user;
  return header;
}

uint32_t RouteHops(std::string_view route) {
  uint32_t hops = 0;
  bool quoted = false;
  for (size_t i = 0; i < route.size(); ++i) {
    if (route[i] == '"') quoted = !quoted;
    if (!quoted && route[i] == ':' && i + 1 < route.size() && route[i + 1] == ':') {
      ++hops;
      ++i;
    }
  }
  return hops;
}

std::string HeaderFields(const IncomingHeader& header, const std::string& route_prefix) {
  std::string from = route_prefix + header.route;
  if (!header.personal.empty()) from += "  (" + header.personal + ")";
  std::string fields = "From: " + OneHeaderLine(from) + "\r\nTo: " + OneHeaderLine(header.to) + "\r\n";
  if (!header.cc.empty()) fields += "Cc: " + OneHeaderLine(header.cc) + "\r\n";
  fields += "Subject: " + OneHeaderLine(header.subject) + "\r\n\r\n";
  return fields;
}

uint32_t ReceivedMessage::Begin(const std::string& temp_directory, const std::string& node,
                                const IncomingHeader& header, std::time_t received) {
  char name[platform::kMaxPath];
  if (platform::GetTempFileName(temp_directory.c_str(), "rcv", name) == 0) return LastError();
  path_ = name;
  file_.reset(platform::CreateFile(name, platform::kReadWrite, platform::kShareNone, platform::kOpenExisting));
  if (!file_) {
    const uint32_t code = LastError();
    Discard();
    return code;
  }
  fields_ = header;
  fields_.to = OneHeaderLine(header.to);
  fields_.cc = OneHeaderLine(header.cc);
  fields_.subject = OneHeaderLine(header.subject);
  header_ = "Received: by " + node + "; " + MailDateText(received) + "\r\n" + HeaderFields(fields_);
  if (!platform::WriteFile(file_.get(), header_.data(), static_cast<uint32_t>(header_.size()))) return LastError();
  return 0;
}

uint32_t ReceivedMessage::AddLine(std::string_view line) {
  if (in_leading_block_) {
    if (line.empty()) {
      in_leading_block_ = false;
    } else if (line.size() >= 9 && ::strncasecmp(line.data(), "Received:", 9) == 0) {
      ++received_lines_;
    } else if (line.size() >= 15 && ::strncasecmp(line.data(), "Auto-Submitted:", 15) == 0) {
      automatic_ = ::strcasecmp(std::string(TrimBlanks(line.substr(15))).c_str(), "no") != 0;
    }
  }
  pending_.reserve(kWriteChunk + line.size() + 2);
  for (const char c : line) {
    if (c != '\0') pending_ += c;
  }
  pending_ += "\r\n";
  return pending_.size() >= kWriteChunk ? WritePending() : 0;
}

uint32_t ReceivedMessage::WritePending() {
  if (!file_) return ERROR_INVALID_HANDLE;
  if (!platform::WriteFile(file_.get(), pending_.data(), static_cast<uint32_t>(pending_.size()))) return LastError();
  pending_.clear();
  return 0;
}

uint32_t ReceivedMessage::Finish() {
  if (const uint32_t code = WritePending()) return code;
  return platform::FlushFile(file_.get()) ? 0 : LastError();
}

void ReceivedMessage::Discard() {
  file_.reset();
  if (!path_.empty()) platform::DeleteFile(path_.c_str());
  path_.clear();
}

}  // namespace pellam::service
