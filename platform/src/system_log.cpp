// syslog, or inside a sandbox a file opened with O_APPEND: every write of such a file
// lands at its end in one piece, whichever process makes it. The file's identity is
// kept, so that a write never goes to another file under the same descriptor number.
#include "platform/system_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "guarded.h"
#include "platform/errors.h"
#include "platform/fault.h"
#include "platform/files.h"
#include "platform/sandbox.h"
#include "retry.h"

namespace platform {
namespace {

// Set by OpenSystemLog before any thread logs, only read afterwards.
struct LogState {
  std::string identity;  // syslog keeps a pointer to it
  bool sandboxed = false;
  bool echo = false;
  int file = -1;  // the sandbox's file; -1 when it could not be opened
  dev_t device = 0;
  ino_t inode = 0;
};
LogState g_log;

int SyslogFacility(LogFacility facility) {
  switch (facility) {
    case LogFacility::kMail: return LOG_MAIL;
    case LogFacility::kDaemon: return LOG_DAEMON;
    case LogFacility::kUser: break;
  }
  return LOG_USER;
}

int SyslogPriority(LogPriority priority) {
  switch (priority) {
    case LogPriority::kError: return LOG_ERR;
    case LogPriority::kWarning: return LOG_WARNING;
    case LogPriority::kInformation: break;
  }
  return LOG_INFO;
}

// Creates <root>/var/log and whatever of it is missing; the open below reports failures.
void CreateLogDirectory(const std::string& directory, std::size_t root_length) {
  for (std::size_t slash = directory.find('/', root_length + 1);; slash = directory.find('/', slash + 1)) {
    CreateDirectory(directory.substr(0, slash).c_str(), 0777);
    if (slash == std::string::npos) return;
  }
}

uint32_t OpenSandboxFile() {
  if (uint32_t code = fault::Check(fault::Op::Open)) return code;
  const std::string root = SandboxRoot();
  const std::string directory = root + "/var/log";
  CreateLogDirectory(directory, root.size());
  const std::string path = directory + "/" + g_log.identity + ".log";
  // Never through a link, and never waiting on a FIFO someone put in its place.
  constexpr int kFlags = O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;
  const int fd = RetryOnEintr([&] { return ::open(path.c_str(), kFlags, 0600); });
  if (fd < 0) return FromErrno(errno, path.c_str());
  struct stat st{};
  const uint32_t code = ::fstat(fd, &st) != 0 ? FromErrno(errno) : S_ISREG(st.st_mode) ? 0 : ERROR_ACCESS_DENIED;
  if (code != 0) {
    ::close(fd);
    return code;
  }
  g_log.file = fd;
  g_log.device = st.st_dev;
  g_log.inode = st.st_ino;
  return 0;
}

// True while `g_log.file` still holds the file opened for it.
bool StillTheLogFile() {
  struct stat st{};
  return g_log.file >= 0 && ::fstat(g_log.file, &st) == 0 && st.st_dev == g_log.device && st.st_ino == g_log.inode;
}

}  // namespace

uint32_t OpenSystemLog(const char* identity, LogFacility facility, bool echo) noexcept {
  CloseSystemLog();
  if (identity == nullptr || *identity == '\0') return Fail(ERROR_INVALID_PARAMETER);
  if (const uint32_t code = Guarded([&] {
        g_log.identity = identity;
        return 0u;
      })) {
    return Fail(code);
  }
  // Under systemd the standard error already goes to the journal, which has the
  // syslog entries too: echoing them would record every entry twice.
  if (std::getenv("JOURNAL_STREAM") != nullptr) echo = false;
  g_log.echo = echo;
  bool sandboxed = false;
  if (const uint32_t code = Guarded([&] {
        sandboxed = !SandboxRoot().empty();
        return 0u;
      })) {
    return Fail(code);
  }
  if (!sandboxed) {
    ::openlog(g_log.identity.c_str(), LOG_PID | (echo ? LOG_PERROR : 0), SyslogFacility(facility));
    return 0;
  }
  g_log.sandboxed = true;
  if (const uint32_t code = Guarded([] { return OpenSandboxFile(); })) return Fail(code);
  return 0;
}

void WriteSystemLog(LogPriority priority, const char* text) noexcept {
  if (text == nullptr) return;
  if (!g_log.sandboxed) {
    ::syslog(SyslogPriority(priority), "%s", text);
    return;
  }
  Guarded([&] {
    const std::string line = g_log.identity + "[" + std::to_string(::getpid()) + "]: " + text + "\n";
    // One write: a line split over two could have another process's line between.
    if (fault::Check(fault::Op::Write) == 0 && StillTheLogFile()) {
      (void)RetryOnEintr([&] { return ::write(g_log.file, line.data(), line.size()); });
    }
    if (g_log.echo) std::fputs(line.c_str(), stderr);
    return 0u;
  });
}

void CloseSystemLog() noexcept {
  if (g_log.sandboxed) {
    if (StillTheLogFile()) ::close(g_log.file);
  } else if (!g_log.identity.empty()) {
    ::closelog();
  }
  g_log.file = -1;
  g_log.sandboxed = false;
  g_log.echo = false;
}

}  // namespace platform
