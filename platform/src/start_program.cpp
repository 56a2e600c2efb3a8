// A short-lived child starts the program as a grandchild and ends at once, so the
// program is re-parented away from the caller; a close-on-exec pipe carries back why
// the program could not be started, or closes silently when it runs.
#include "platform/start_program.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "guarded.h"
#include "platform/errors.h"
#include "platform/fault.h"
#include "retry.h"

namespace platform {
namespace {

// Where a start failed, sent with errno (or the exit status, for Ended) through the pipe.
enum class Stage : int { Fork, Directory, Exec, Ended };
struct Failure {
  Stage stage;
  int error;
};

// The file that would run for `program`: as given when it holds a "/", else the first
// executable regular file of that name along PATH. Empty, with `*status`, when none.
std::string FindProgram(const std::string& program, uint32_t* status) {
  if (program.find('/') != std::string::npos) return program;
  *status = ERROR_FILE_NOT_FOUND;
  if (program.empty()) return {};
  const char* search = std::getenv("PATH");
  std::string path = search != nullptr && *search != '\0' ? search : "/usr/local/bin:/usr/bin:/bin";
  std::size_t begin = 0;
  while (begin <= path.size()) {
    std::size_t end = path.find(':', begin);
    if (end == std::string::npos) end = path.size();
    std::string dir = path.substr(begin, end - begin);
    std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + program;
    struct stat st {};
    if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
      if (::access(candidate.c_str(), X_OK) == 0) return candidate;
      *status = ERROR_ACCESS_DENIED;  // as a search that found only files it may not run
    }
    begin = end + 1;
  }
  return {};
}

void Report(int pipe, Stage stage, int error) {
  const Failure failure{stage, error};
  [[maybe_unused]] const ssize_t n = ::write(pipe, &failure, sizeof failure);
}

// Between fork and exec only async-signal-safe calls: the caller may have other
// threads. With `watch_ms`, the go-between waits that long for a program that gives up
// at once (a desktop with no handler for the file).
[[noreturn]] void RunProgram(int pipe, const char* path, char* const* argv, const char* directory,
                             unsigned watch_ms) {
  const pid_t program = ::fork();
  if (program < 0) Report(pipe, Stage::Fork, errno);
  if (program > 0) {
    for (unsigned waited = 0; waited < watch_ms; waited += 10) {
      int status = 0;
      if (::waitpid(program, &status, WNOHANG) == program) {
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) Report(pipe, Stage::Ended, status);
        break;
      }
      const timespec pause{0, 10 * 1000 * 1000};
      ::nanosleep(&pause, nullptr);
    }
  }
  if (program != 0) ::_exit(0);
  ::setsid();  // the program keeps running when the caller's terminal or session ends
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  if (::chdir(directory) != 0) {
    Report(pipe, Stage::Directory, errno);
  } else {
    ::execve(path, argv, environ);
    Report(pipe, Stage::Exec, errno);
  }
  ::_exit(127);
}

uint32_t Start(const std::vector<std::string>& command, const std::string& directory, unsigned watch_ms) {
  if (command.empty()) return ERROR_INVALID_PARAMETER;
  uint32_t status = 0;
  const std::string path = FindProgram(command.front(), &status);
  if (path.empty()) return status;
  std::vector<std::string> args = command;
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return FromErrno(errno);
  const pid_t child = ::fork();
  if (child < 0) {
    const uint32_t code = FromErrno(errno);
    ::close(fds[0]);
    ::close(fds[1]);
    return code;
  }
  if (child == 0) {
    ::close(fds[0]);
    RunProgram(fds[1], path.c_str(), argv.data(), directory.c_str(), watch_ms);
  }
  ::close(fds[1]);
  int ignored = 0;
  RetryOnEintr([&] { return ::waitpid(child, &ignored, 0); });
  Failure failure{};
  const ssize_t got = RetryOnEintr([&] { return ::read(fds[0], &failure, sizeof failure); });
  ::close(fds[0]);
  if (got != static_cast<ssize_t>(sizeof failure)) return 0;  // it runs
  switch (failure.stage) {
    case Stage::Directory:
      return FromErrno(failure.error, directory.c_str());
    case Stage::Exec:
      return FromErrno(failure.error, path.c_str());
    case Stage::Ended:
      return ERROR_NOT_SUPPORTED;  // it ran and refused what it was given
    case Stage::Fork:
      break;
  }
  return FromErrno(failure.error);
}

}  // namespace

uint32_t StartDetachedProgram(const std::vector<std::string>& command, const std::string& directory,
                              unsigned watch_ms) noexcept {
  if (const uint32_t code = fault::Check(fault::Op::Process)) return Fail(code);
  return Fail(Guarded([&] { return Start(command, directory, watch_ms); }));
}

}  // namespace platform
