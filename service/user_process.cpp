// The child that acts for a user: identity switched (supplementary groups, gid, then
// uid, checked afterwards), the work run, its status and bytes sent back over a pipe.
// The parent reads the pipe to its end before it reaps the child, so large results
// cannot block either side.
#include "user_process.h"

#include <fcntl.h>
#include <grp.h>
#include <linux/close_range.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "pellam.h"
#include "platform/errors.h"

namespace pellam::service {
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

uint32_t SwitchIdentity(const platform::Account& user) {
  if (::geteuid() != 0) return ::geteuid() == user.uid ? 0 : ERROR_ACCESS_DENIED;
  const gid_t gid = user.gid;
  if (::setgroups(1, &gid) != 0 || ::setgid(gid) != 0 || ::setuid(user.uid) != 0) return ERROR_ACCESS_DENIED;
  // A uid of 0 would keep every right; nothing acts for root through here.
  if (::getuid() != user.uid || ::geteuid() != user.uid || (user.uid != 0 && ::setuid(0) == 0)) {
    return ERROR_ACCESS_DENIED;
  }
  return 0;
}

[[noreturn]] void RunChild(int out, pid_t parent, const platform::Account& user, const UserWork& work) {
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() != parent) ::_exit(1);  // the service died before the line above
  // Descriptors of the service stay behind: the user's work needs none of them, and a
  // job journal inherited here would keep its lock from a restarted service.
  if (out > 3) ::close_range(3, static_cast<unsigned>(out) - 1, 0);
  ::close_range(static_cast<unsigned>(out) + 1, ~0u, 0);
  ::signal(SIGTERM, SIG_DFL);
  ::signal(SIGINT, SIG_DFL);
  ::umask(077);
  std::string data;
  uint32_t status = SwitchIdentity(user);
  if (status == 0) {
    try {
      status = work(&data);
    } catch (...) {
      status = ERR_SERVICE_INTERNAL;
    }
  }
  const bool sent = WriteAll(out, &status, sizeof status) && WriteAll(out, data.data(), data.size());
  ::_exit(sent ? 0 : 1);
}

}  // namespace

uint32_t RunAsUser(const platform::Account& user, const UserWork& work, std::string* data) {
  int pipe_fds[2];
  if (::pipe2(pipe_fds, O_CLOEXEC) != 0) return ERR_SERVICE_INTERNAL;
  const pid_t parent = ::getpid();
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipe_fds[0]);
    RunChild(pipe_fds[1], parent, user, work);
  }
  ::close(pipe_fds[1]);
  if (child < 0) {
    ::close(pipe_fds[0]);
    return ERR_SERVICE_INTERNAL;
  }
  std::string received;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(pipe_fds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    received.append(buffer, static_cast<size_t>(n));
  }
  ::close(pipe_fds[0]);
  int wait_status = 0;
  while (::waitpid(child, &wait_status, 0) < 0 && errno == EINTR) {
  }
  if (received.size() < sizeof(uint32_t) || !WIFEXITED(wait_status) || WEXITSTATUS(wait_status) != 0) {
    return ERR_SERVICE_INTERNAL;
  }
  uint32_t status = 0;
  std::memcpy(&status, received.data(), sizeof status);
  if (data != nullptr) *data = received.substr(sizeof status);
  return status;
}

}  // namespace pellam::service
