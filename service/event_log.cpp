// Event-log entries: the catalogue's text for the code, with CR LF inside it turned
// into " / " so that one event stays one syslog line, at the priority the code's
// severity bits give.
#include "event_log.h"

#include <fcntl.h>
#include <syslog.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "pellam.h"
#include "platform/sandbox.h"
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

// Inside a sandbox: its log file (-1 when it could not be opened, and the entries are
// then only echoed) and whether to echo them; set once at start-up, before any thread
// or child exists.
int g_sandbox_log = -1;
bool g_sandbox_echo = false;
bool g_sandboxed = false;

void OpenSandboxLog(bool echo) {
  const std::string path = platform::InRoot("/var/log/pellam.log");
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
  g_sandbox_log = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  g_sandbox_echo = echo;
  g_sandboxed = true;
}

// One write per entry, so that entries of the service and of its children never mix.
void WriteSandboxLog(const std::string& text) {
  const std::string line = "pellam[" + std::to_string(::getpid()) + "]: " + text + "\n";
  [[maybe_unused]] ssize_t written = 0;
  if (g_sandbox_log >= 0) written = ::write(g_sandbox_log, line.data(), line.size());
  if (g_sandbox_echo) std::fputs(line.c_str(), stderr);
}

void Send(int priority, const std::string& text) {
  if (g_sandboxed) {
    WriteSandboxLog(text);
  } else {
    ::syslog(priority, "%s", text.c_str());
  }
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
  if (!platform::SandboxRoot().empty()) {
    OpenSandboxLog(echo);
    return;
  }
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
    Send(Priority(event), text);
  }
}

void EventLog::Note(const std::string& text) const {
  const std::string line = OneLine(text);
  if (sink_) {
    sink_(0, line);
  } else {
    Send(LOG_INFO, line);
  }
}

std::string StatusText(uint32_t code, const std::string& first, const std::string& second) {
  const char* inserts[] = {first.c_str(), second.c_str(), ""};
  return std::string(platform::WithoutTrailingSpace(FormatCode(code, inserts)));
}

}  // namespace pellam::service
