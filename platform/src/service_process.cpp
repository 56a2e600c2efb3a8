// Detached start and process identity. The children between fork and exec use only
// calls that are safe there, because the caller may have threads (setup runs Qt).
#include "service_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/errors.h"
#include "retry.h"

namespace platform::service {
namespace {

// What the starting children report through the pipe: the pid of the service process,
// and the errno of a failure (0 while all goes well).
struct Report {
  pid_t pid;
  int err;
};

void WriteReport(int fd, pid_t pid, int err) {
  const Report report{pid, err};
  (void)!::write(fd, &report, sizeof report);
}

// The service process's surroundings: nothing inherited but the environment.
void PrepareServiceProcess() {
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  for (int sig = 1; sig < NSIG; ++sig) ::sigaction(sig, &dfl, nullptr);
  sigset_t none;
  ::sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  int null = ::open("/dev/null", O_RDWR);
  if (null >= 0) {
    ::dup2(null, STDIN_FILENO);
    ::dup2(null, STDOUT_FILENO);
    ::dup2(null, STDERR_FILENO);
    if (null > STDERR_FILENO) ::close(null);
  }
  // Every other descriptor closes at exec, the report pipe included.
  if (::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) != 0) {
    for (int fd = 3; fd < 1024; ++fd) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  }
  (void)!::chdir("/");
  ::umask(022);
}

std::vector<char*> Argv(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  return argv;
}

}  // namespace

uint32_t SpawnDetached(const std::vector<std::string>& args, pid_t* pid) {
  if (args.empty()) return ERROR_INVALID_PARAMETER;
  std::vector<char*> argv = Argv(args);
  int pipe_fds[2];
  if (::pipe2(pipe_fds, O_CLOEXEC) != 0) return FromErrno(errno);
  const pid_t first = ::fork();
  if (first < 0) {
    const int err = errno;
    ::close(pipe_fds[0]);
    ::close(pipe_fds[1]);
    return FromErrno(err);
  }
  if (first == 0) {
    ::close(pipe_fds[0]);
    ::setsid();
    const pid_t second = ::fork();
    if (second < 0) {
      WriteReport(pipe_fds[1], -1, errno);
      ::_exit(1);
    }
    if (second == 0) {
      WriteReport(pipe_fds[1], ::getpid(), 0);
      PrepareServiceProcess();
      ::execv(argv[0], argv.data());
      WriteReport(pipe_fds[1], ::getpid(), errno);
      ::_exit(127);
    }
    ::_exit(0);
  }
  ::close(pipe_fds[1]);
  int status = 0;
  RetryOnEintr([&] { return ::waitpid(first, &status, 0); });
  // The pipe ends when the service process has executed its program (or given up).
  std::string bytes;
  char buffer[64];
  for (ssize_t n; (n = RetryOnEintr([&] { return ::read(pipe_fds[0], buffer, sizeof buffer); })) > 0;) {
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(pipe_fds[0]);
  if (bytes.size() < sizeof(Report)) return ERROR_GEN_FAILURE;
  Report last{};
  std::memcpy(&last, bytes.data() + (bytes.size() / sizeof(Report) - 1) * sizeof(Report), sizeof last);
  if (last.err != 0) return FromErrno(last.err, args[0].c_str());
  *pid = last.pid;
  return ERROR_SUCCESS;
}

bool ProcessStartTime(pid_t pid, uint64_t* start_ticks) {
  if (pid <= 0) return false;
  char path[64];
  std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char text[1024];
  const ssize_t n = RetryOnEintr([&] { return ::read(fd, text, sizeof text - 1); });
  ::close(fd);
  if (n <= 0) return false;
  text[n] = '\0';
  // The command name, in parentheses, may hold anything: the fields follow its last ")".
  const char* p = std::strrchr(text, ')');
  if (p == nullptr) return false;
  char state = '\0';
  unsigned long long ticks = 0;
  // After ")": state (field 3), then fields 4 to 21 skipped, then the start time (22).
  if (std::sscanf(p + 1, " %c %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %llu",
                  &state, &ticks) != 2) {
    return false;
  }
  if (state == 'Z' || state == 'X' || state == 'x') return false;
  *start_ticks = ticks;
  return true;
}

bool SameProcessAlive(pid_t pid, uint64_t start_ticks) {
  uint64_t now = 0;
  return ProcessStartTime(pid, &now) && now == start_ticks;
}

uint64_t BootClockMs() {
  struct timespec ts {};
  ::clock_gettime(CLOCK_BOOTTIME, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

uint32_t RunCommand(const std::vector<std::string>& args, std::string* output, int* exit_status) {
  if (args.empty()) return ERROR_INVALID_PARAMETER;
  std::vector<char*> argv = Argv(args);
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return FromErrno(errno);
  const pid_t child = ::fork();
  if (child < 0) {
    const int err = errno;
    ::close(out[0]);
    ::close(out[1]);
    return FromErrno(err);
  }
  if (child == 0) {
    ::dup2(out[1], STDOUT_FILENO);
    const int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
      ::dup2(null, STDIN_FILENO);
      ::dup2(null, STDERR_FILENO);
    }
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  output->clear();
  char buffer[4096];
  for (ssize_t n; (n = RetryOnEintr([&] { return ::read(out[0], buffer, sizeof buffer); })) > 0;) {
    output->append(buffer, static_cast<std::size_t>(n));
  }
  ::close(out[0]);
  int status = 0;
  if (RetryOnEintr([&] { return ::waitpid(child, &status, 0); }) < 0) return FromErrno(errno);
  *exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return ERROR_SUCCESS;
}

}  // namespace platform::service
