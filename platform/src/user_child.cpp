// The child that acts for a user: identity switched (supplementary groups, gid, then
// uid, checked afterwards), the work run, its status and bytes sent back over a pipe.
// The parent polls the pipe and the cancel descriptor until the deadline, reading at
// most the bytes allowed, and kills the child (SIGKILL ends a stopped one too) when
// either ends the wait.
#include "platform/user_child.h"

#include <fcntl.h>
#include <grp.h>
#include <linux/close_range.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/errors.h"
#include "platform/fault.h"
#include "retry.h"

namespace platform {
namespace {

bool WriteAll(int fd, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

uint32_t SwitchIdentity(uint32_t uid, uint32_t gid) {
  if (::geteuid() != 0) return ::geteuid() == uid ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
  const gid_t group = gid;
  if (::setgroups(1, &group) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0) return ERROR_ACCESS_DENIED;
  // A uid of 0 would keep every right; nothing acts for root through here.
  if (::getuid() != uid || ::geteuid() != uid || (uid != 0 && ::setuid(0) == 0)) return ERROR_ACCESS_DENIED;
  return ERROR_SUCCESS;
}

// Closes every descriptor from 3 on but those in `keep` (ascending, -1 for none).
void CloseAllBut(int first_keep, int second_keep) {
  unsigned from = 3;
  for (const int keep : {first_keep, second_keep}) {
    if (keep < static_cast<int>(from)) continue;
    if (static_cast<unsigned>(keep) > from) ::close_range(from, static_cast<unsigned>(keep) - 1, 0);
    from = static_cast<unsigned>(keep) + 1;
  }
  ::close_range(from, ~0u, 0);
}

[[noreturn]] void RunChild(int out, int lent, pid_t parent, uint32_t uid, uint32_t gid, const ChildWork& work) {
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() != parent) ::_exit(1);  // the parent died before the line above
  // The parent's descriptors stay behind, but for the one lent to the work: the
  // user's work needs no others, and a lock inherited here would outlive a parent
  // that is restarted.
  CloseAllBut(std::min(out, lent < 0 ? out : lent), std::max(out, lent));
  ::signal(SIGTERM, SIG_DFL);
  ::signal(SIGINT, SIG_DFL);
  ::signal(SIGPIPE, SIG_DFL);
  ::umask(077);
  std::string data;
  uint32_t status = SwitchIdentity(uid, gid);
  if (status == ERROR_SUCCESS) {
    try {
      status = work(&data);
    } catch (...) {
      ::_exit(1);  // no report: the parent sees a child that died
    }
  }
  const bool sent = WriteAll(out, &status, sizeof status) && WriteAll(out, data.data(), data.size());
  ::_exit(sent ? 0 : 1);
}

// Reads the child's report until it ends, the deadline passes or the cancel
// descriptor becomes readable: 0 for a complete report, else why the wait ended.
uint32_t Collect(int in, const ChildLimits& limits, std::string* received) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(limits.deadline_ms);
  char buffer[4096];
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return ERROR_TIMEOUT;
    pollfd fds[2] = {{in, POLLIN, 0}, {limits.cancel_fd, POLLIN, 0}};
    const int ready = ::poll(fds, limits.cancel_fd >= 0 ? 2 : 1, static_cast<int>(left));
    if (ready < 0 && errno != EINTR) return ERROR_PROCESS_ABORTED;
    if (ready <= 0) continue;
    if (limits.cancel_fd >= 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
      return ERROR_OPERATION_ABORTED;
    }
    if (fds[0].revents == 0) continue;
    const ssize_t n = ::read(in, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return ERROR_SUCCESS;
    if (received->size() + static_cast<size_t>(n) > limits.max_output + sizeof(uint32_t)) {
      return ERROR_PROCESS_ABORTED;
    }
    received->append(buffer, static_cast<size_t>(n));
  }
}

}  // namespace

uint32_t RunAsAccount(uint32_t uid, uint32_t gid, const ChildWork& work, const ChildLimits& limits,
                      std::string* out) {
  if (uint32_t code = fault::Check(fault::Op::Child)) return code;
  int pipe_fds[2];
  if (::pipe2(pipe_fds, O_CLOEXEC) != 0) return FromErrno(errno);
  const pid_t parent = ::getpid();
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipe_fds[0]);
    RunChild(pipe_fds[1], limits.lent_fd, parent, uid, gid, work);
  }
  ::close(pipe_fds[1]);
  if (child < 0) {
    const int err = errno;
    ::close(pipe_fds[0]);
    return FromErrno(err);
  }
  std::string received;
  const uint32_t ended = Collect(pipe_fds[0], limits, &received);
  ::close(pipe_fds[0]);
  if (ended != ERROR_SUCCESS) ::kill(child, SIGKILL);
  int wait_status = 0;
  while (::waitpid(child, &wait_status, 0) < 0 && errno == EINTR) {
  }
  if (ended != ERROR_SUCCESS) return ended;
  if (received.size() < sizeof(uint32_t) || !WIFEXITED(wait_status) || WEXITSTATUS(wait_status) != 0) {
    return ERROR_PROCESS_ABORTED;
  }
  uint32_t status = 0;
  std::memcpy(&status, received.data(), sizeof status);
  if (out != nullptr) *out = received.substr(sizeof status);
  return status;
}

}  // namespace platform
