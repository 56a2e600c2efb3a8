// Event-log entries: the catalogue's text for the code, with CR LF inside it turned
// into " / " so that one event stays one syslog line, at the priority the code's
// severity bits give.
#include "event_log.h"

#include "pellam.h"
#include "platform/system_log.h"
#include "platform/text_line.h"

namespace pellam::service {
namespace {

std::string OneLine(const std::string& whole) {
  const std::string_view text = platform::WithoutTrailingSpace(whole);
  std::string line;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      line += " / ";
      ++i;
    } else {
      line += text[i] == '\n' || text[i] == '\r' ? ' ' : text[i];
    }
  }
  return line;
}

std::string FormatCode(uint32_t code, const char* const* inserts) {
  char buffer[1024];
  return GetErrorText(code, buffer, sizeof buffer, inserts);
}

platform::LogPriority Priority(uint32_t code) {
  switch (code >> 30) {
    case 3: return platform::LogPriority::kError;
    case 2: return platform::LogPriority::kWarning;
    default: return platform::LogPriority::kInformation;
  }
}

}  // namespace

void EventLog::OpenSyslog(bool echo) {
  // A sandbox's log file that cannot be opened leaves the entries echoed only: the
  // service has nowhere else to say so.
  (void)platform::OpenSystemLog("pellam", platform::LogFacility::kMail, echo);
}

void EventLog::Report(uint32_t event, const std::string& first, const std::string& second, uint32_t cause) const {
  Write(event, first, second, cause == 0 ? std::string() : StatusText(cause));
}

void EventLog::Write(uint32_t event, const std::string& first, const std::string& second,
                     const std::string& third) const {
  const char* inserts[] = {first.c_str(), second.c_str(), third.c_str()};
  const std::string text = OneLine(FormatCode(event, inserts));
  if (sink_) {
    sink_(event, text);
  } else {
    platform::WriteSystemLog(Priority(event), text.c_str());
  }
}

void EventLog::Note(const std::string& text) const {
  const std::string line = OneLine(text);
  if (sink_) {
    sink_(0, line);
  } else {
    platform::WriteSystemLog(platform::LogPriority::kInformation, line.c_str());
  }
}

std::string StatusText(uint32_t code, const std::string& first, const std::string& second) {
  const char* inserts[] = {first.c_str(), second.c_str(), ""};
  return std::string(platform::WithoutTrailingSpace(FormatCode(code, inserts)));
}

}  // namespace pellam::service
