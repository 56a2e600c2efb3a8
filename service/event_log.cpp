// Event-log entries: the catalogue's text for the code, with CR LF inside it turned
// into " / " so that one event stays one syslog line, at the priority the code's
// severity bits give.
#include "event_log.h"

#include <syslog.h>

#include <cstdlib>

#include "pellam.h"

namespace pellam::service {
namespace {

std::string OneLine(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
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

int Priority(uint32_t code) {
  switch (code >> 30) {
    case 3: return LOG_ERR;
    case 2: return LOG_WARNING;
    default: return LOG_INFO;
  }
}

}  // namespace

void EventLog::OpenSyslog(bool echo) {
  // Under systemd the standard error already goes to the journal, which has the
  // syslog lines too: echoing them would record every event twice.
  if (std::getenv("JOURNAL_STREAM") != nullptr) echo = false;
  ::openlog("pellam", LOG_PID | (echo ? LOG_PERROR : 0), LOG_MAIL);
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
    ::syslog(Priority(event), "%s", text.c_str());
  }
}

void EventLog::Note(const std::string& text) const {
  const std::string line = OneLine(text);
  if (sink_) {
    sink_(0, line);
  } else {
    ::syslog(LOG_INFO, "%s", line.c_str());
  }
}

std::string StatusText(uint32_t code, const std::string& first, const std::string& second) {
  const char* inserts[] = {first.c_str(), second.c_str(), ""};
  std::string text = FormatCode(code, inserts);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  return text;
}

}  // namespace pellam::service
