// Local sockets. Names are reached through an open directory descriptor
// ("/proc/self/fd/N/name"), so that the directory checked is the directory used and
// paths longer than a socket address holds still work.
#include "platform/local_socket.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/errors.h"
#include "platform/fault.h"
#include "platform/files.h"

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

int Failed(uint32_t code) noexcept {
  SetLastError(code);
  return kInvalidFile;
}

// The address of `name` inside the directory open as `dir_fd`.
bool AddressIn(int dir_fd, const char* name, sockaddr_un* address) noexcept {
  std::memset(address, 0, sizeof *address);
  address->sun_family = AF_UNIX;
  const int n = std::snprintf(address->sun_path, sizeof address->sun_path, "/proc/self/fd/%d/%s", dir_fd, name);
  return n > 0 && static_cast<size_t>(n) < sizeof address->sun_path;
}

// Creates a directory when it is missing; true when it exists afterwards.
bool EnsureDirectory(const std::string& path) noexcept {
  return ::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

int MillisecondsLeft(Clock::time_point end) noexcept {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// Waits for `events` on `fd` until `end`; false with the last-error value set.
bool WaitFor(int fd, short events, Clock::time_point end) noexcept {
  for (;;) {
    pollfd p{fd, events, 0};
    const int n = ::poll(&p, 1, MillisecondsLeft(end));
    if (n > 0) return true;
    if (n == 0) {
      SetLastError(ERROR_TIMEOUT);
      return false;
    }
    if (errno != EINTR) {
      FailWithErrno();
      return false;
    }
  }
}

}  // namespace

int ListenLocalSocket(const char* directory, const char* name, unsigned mode) noexcept {
  if (directory == nullptr || name == nullptr || *name == '\0' || std::strchr(name, '/') != nullptr) {
    return Failed(ERROR_INVALID_PARAMETER);
  }
  try {
    std::string dir(directory);
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    const size_t slash = dir.rfind('/');
    if (slash != std::string::npos && slash > 0) EnsureDirectory(dir.substr(0, slash));
    const bool created = ::mkdir(dir.c_str(), 0755) == 0;
    UniqueFile dir_fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!dir_fd) return Failed(errno == ELOOP ? ERROR_ACCESS_DENIED : FailWithErrno(dir.c_str()));
    struct stat st{};
    if (::fstat(dir_fd.get(), &st) != 0) return Failed(FailWithErrno());
    if (st.st_uid != ::geteuid() || (st.st_mode & 022) != 0) return Failed(ERROR_ACCESS_DENIED);
    // The umask may have narrowed a new directory; clients must be able to reach the socket.
    if (created && ::fchmod(dir_fd.get(), 0755) != 0) return Failed(FailWithErrno());

    sockaddr_un address{};
    if (!AddressIn(dir_fd.get(), name, &address)) return Failed(ERROR_FILENAME_EXCED_RANGE);
    struct stat old{};
    if (::fstatat(dir_fd.get(), name, &old, AT_SYMLINK_NOFOLLOW) == 0) {
      if (!S_ISSOCK(old.st_mode) && !S_ISLNK(old.st_mode)) return Failed(ERROR_FILE_EXISTS);
      if (S_ISSOCK(old.st_mode)) {
        UniqueFile probe(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (probe && ::connect(probe.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
          return Failed(ERROR_ALREADY_EXISTS);  // another process still serves it
        }
      }
      if (::unlinkat(dir_fd.get(), name, 0) != 0 && errno != ENOENT) return Failed(FailWithErrno());
    }
    UniqueFile listener(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!listener) return Failed(FailWithErrno());
    if (::bind(listener.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      return Failed(FailWithErrno());
    }
    // The directory is ours alone, so the name cannot have been swapped since bind.
    if (::fchmodat(dir_fd.get(), name, static_cast<mode_t>(mode), 0) != 0 || ::listen(listener.get(), 16) != 0) {
      const uint32_t code = FailWithErrno();
      ::unlinkat(dir_fd.get(), name, 0);
      return Failed(code);
    }
    return listener.release();
  } catch (...) {
    return Failed(ERROR_NOT_ENOUGH_MEMORY);
  }
}

bool RemoveLocalSocket(const char* path) noexcept {
  struct stat st{};
  if (path == nullptr || ::lstat(path, &st) != 0) {
    FailWithErrno(path);
    return false;
  }
  if (!S_ISSOCK(st.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  if (::unlink(path) != 0) {
    FailWithErrno(path);
    return false;
  }
  return true;
}

int AcceptLocalClient(int listener, int stop_fd, int timeout_ms) noexcept {
  const auto end = Clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    pollfd p[2] = {{listener, POLLIN, 0}, {stop_fd, POLLIN, 0}};
    const int n = ::poll(p, stop_fd >= 0 ? 2 : 1, MillisecondsLeft(end));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Failed(FailWithErrno());
    if (n == 0) return Failed(ERROR_TIMEOUT);
    if (stop_fd >= 0 && (p[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) return Failed(ERROR_OPERATION_ABORTED);
    const int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (client >= 0) return client;
    // The client may have gone between poll and accept; wait for the next.
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != ECONNABORTED && errno != EINTR) {
      return Failed(FailWithErrno());
    }
  }
}

int ConnectLocalSocket(const char* path) noexcept {
  if (path == nullptr || *path == '\0') return Failed(ERROR_INVALID_PARAMETER);
  try {
    const std::string text(path);
    const size_t slash = text.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : text.substr(0, slash);
    const std::string name = slash == std::string::npos ? text : text.substr(slash + 1);
    UniqueFile dir_fd(::open(dir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!dir_fd) return Failed(FailWithErrno(path));
    sockaddr_un address{};
    if (name.empty() || !AddressIn(dir_fd.get(), name.c_str(), &address)) return Failed(ERROR_FILENAME_EXCED_RANGE);
    UniqueFile socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket) return Failed(FailWithErrno());
    while (::connect(socket.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      if (errno == EINTR) continue;
      if (errno == ECONNREFUSED) return Failed(ERROR_CONNECTION_REFUSED);
      return Failed(FailWithErrno(path));
    }
    return socket.release();
  } catch (...) {
    return Failed(ERROR_NOT_ENOUGH_MEMORY);
  }
}

bool SendWithin(int socket, const void* data, size_t size, int timeout_ms) noexcept {
  const auto end = Clock::now() + std::chrono::milliseconds(timeout_ms);
  const char* at = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::send(socket, at, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      at += n;
      size -= static_cast<size_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!WaitFor(socket, POLLOUT, end)) return false;
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      FailWithErrno();
      return false;
    }
  }
  return true;
}

bool ReceiveWithin(int socket, void* buffer, size_t size, size_t* done, int timeout_ms) noexcept {
  const auto end = Clock::now() + std::chrono::milliseconds(timeout_ms);
  *done = 0;
  for (;;) {
    const ssize_t n = ::recv(socket, buffer, size, MSG_DONTWAIT);
    if (n >= 0) {
      *done = static_cast<size_t>(n);
      return true;
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      if (!WaitFor(socket, POLLIN, end)) return false;
    } else if (errno != EINTR) {
      FailWithErrno();
      return false;
    }
  }
}

bool EndConnection(int socket) noexcept {
  if (const uint32_t code = fault::Check(fault::Op::Close)) {
    SetLastError(code);
    return false;
  }
  if (::shutdown(socket, SHUT_RDWR) == 0) return true;
  FailWithErrno();
  return false;
}

}  // namespace platform
