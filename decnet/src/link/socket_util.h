// Small helpers for the IP-borne links: a descriptor that closes itself, and host and
// port resolution into a socket address.
#pragma once

#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <utility>

namespace decnet {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.fd_, -1));
    return *this;
  }
  ~UniqueFd() { Reset(); }
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  void Reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

struct SocketAddress {
  sockaddr_storage storage{};
  socklen_t length = 0;
  int family() const { return storage.ss_family; }
  std::string ToString() const;  // "127.0.0.1:700", "[::1]:700"
  bool SameHost(const SocketAddress& other) const;
  bool operator==(const SocketAddress& other) const;  // host and port
};

// Resolves `host` (a name or a numeric address; empty = any address) and `port`.
// Numeric addresses never block; a name may wait for the resolver.
bool ResolveAddress(const std::string& host, uint16_t port, bool passive, SocketAddress* out, std::string* error);

// The text of errno, for the links' messages.
std::string ErrnoText(int error);

}  // namespace decnet
