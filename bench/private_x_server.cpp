// Xvfb started and stopped for one benchmark program, and the time-limited children
// that run under it.
#include "private_x_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace bench {
namespace {

using Clock = std::chrono::steady_clock;

// Waits for `pid` until `deadline`; its wait status, or -1 when it is still running.
int WaitUntil(pid_t pid, Clock::time_point deadline) {
  for (;;) {
    int status = 0;
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) return status;
    if (done < 0 && errno != EINTR) return 0;
    if (Clock::now() >= deadline) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

}  // namespace

PrivateXServer::PrivateXServer() {
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) {
    why_ = "no pipe for Xvfb's display number";
    return;
  }
  const pid_t pid = ::fork();
  if (pid < 0) {
    why_ = "cannot start a process";
    ::close(report[0]);
    ::close(report[1]);
    return;
  }
  if (pid == 0) {
    // The server goes with this program however it ends.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    // Xvfb writes its display number to descriptor 3, which must outlive the exec.
    if (report[1] == 3) {
      ::fcntl(3, F_SETFD, 0);
    } else {
      ::dup2(report[1], 3);
    }
    const int quiet = ::open("/dev/null", O_WRONLY);
    if (quiet >= 0) {
      ::dup2(quiet, 1);
      ::dup2(quiet, 2);
    }
    ::execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", "1280x900x24", "-nolisten", "tcp",
             static_cast<char*>(nullptr));
    ::_exit(127);
  }
  pid_ = pid;
  ::close(report[1]);
  std::string number;
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (Clock::now() < deadline) {
    pollfd wait{report[0], POLLIN, 0};
    if (::poll(&wait, 1, 100) <= 0) continue;
    char text[16];
    const ssize_t got = ::read(report[0], text, sizeof text);
    if (got <= 0) break;  // Xvfb closed it: started, or ended
    number.append(text, static_cast<std::size_t>(got));
    if (number.find('\n') != std::string::npos) break;
  }
  ::close(report[0]);
  while (!number.empty() && (number.back() == '\n' || number.back() == ' ')) number.pop_back();
  if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) {
    // A server that could not be run ends at once; one that hangs is stopped.
    const int status = WaitUntil(pid_, Clock::now() + std::chrono::seconds(1));
    if (status == -1) {
      why_ = "Xvfb did not take a display within 10 s";
      Stop();
    } else {
      why_ = WIFEXITED(status) && WEXITSTATUS(status) == 127 ? "Xvfb is not installed (Debian: xvfb)"
                                                             : "Xvfb ended at start";
      pid_ = -1;
    }
    return;
  }
  display_ = ":" + number;
}

PrivateXServer::~PrivateXServer() { Stop(); }

void PrivateXServer::Stop() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  if (WaitUntil(pid_, Clock::now() + std::chrono::seconds(5)) == -1) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  pid_ = -1;
}

int RunUnder(const PrivateXServer& server, int limitSeconds, const std::function<int()>& body) {
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0) return 125;
  if (pid == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    ::setenv("DISPLAY", server.display().c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    const int code = body();
    std::fflush(nullptr);
    // Not exit(): the parent's objects (the sandbox among them) are the parent's to end.
    ::_exit(code);
  }
  const int status = WaitUntil(pid, Clock::now() + std::chrono::seconds(limitSeconds));
  if (status == -1) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return 124;
  }
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 125;
}

}  // namespace bench
