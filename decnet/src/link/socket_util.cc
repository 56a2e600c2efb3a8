// Address resolution and formatting for the IP-borne links.
#include "link/socket_util.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>

#include <cstring>

namespace decnet {

std::string ErrnoText(int error) { return std::strerror(error); }

std::string SocketAddress::ToString() const {
  char host[INET6_ADDRSTRLEN] = "?";
  uint16_t port = 0;
  if (family() == AF_INET) {
    const auto* in = reinterpret_cast<const sockaddr_in*>(&storage);
    ::inet_ntop(AF_INET, &in->sin_addr, host, sizeof host);
    port = ntohs(in->sin_port);
    return std::string(host) + ":" + std::to_string(port);
  }
  if (family() == AF_INET6) {
    const auto* in6 = reinterpret_cast<const sockaddr_in6*>(&storage);
    ::inet_ntop(AF_INET6, &in6->sin6_addr, host, sizeof host);
    port = ntohs(in6->sin6_port);
    return "[" + std::string(host) + "]:" + std::to_string(port);
  }
  return "?";
}

bool SocketAddress::SameHost(const SocketAddress& other) const {
  if (family() != other.family()) return false;
  if (family() == AF_INET) {
    return std::memcmp(&reinterpret_cast<const sockaddr_in*>(&storage)->sin_addr,
                       &reinterpret_cast<const sockaddr_in*>(&other.storage)->sin_addr, sizeof(in_addr)) == 0;
  }
  if (family() == AF_INET6) {
    return std::memcmp(&reinterpret_cast<const sockaddr_in6*>(&storage)->sin6_addr,
                       &reinterpret_cast<const sockaddr_in6*>(&other.storage)->sin6_addr, sizeof(in6_addr)) == 0;
  }
  return false;
}

bool SocketAddress::operator==(const SocketAddress& other) const {
  if (!SameHost(other)) return false;
  if (family() == AF_INET) {
    return reinterpret_cast<const sockaddr_in*>(&storage)->sin_port ==
           reinterpret_cast<const sockaddr_in*>(&other.storage)->sin_port;
  }
  return reinterpret_cast<const sockaddr_in6*>(&storage)->sin6_port ==
         reinterpret_cast<const sockaddr_in6*>(&other.storage)->sin6_port;
}

bool ResolveAddress(const std::string& host, uint16_t port, bool passive, SocketAddress* out, std::string* error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV | (passive ? AI_PASSIVE : 0);
  addrinfo* result = nullptr;
  std::string service = std::to_string(port);
  // Numeric first: it never blocks, and it is what configurations mostly hold.
  hints.ai_flags |= AI_NUMERICHOST;
  int rc = ::getaddrinfo(host.empty() ? nullptr : host.c_str(), service.c_str(), &hints, &result);
  if (rc == EAI_NONAME && !host.empty()) {
    hints.ai_flags &= ~AI_NUMERICHOST;
    rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &result);
  }
  if (rc != 0 || result == nullptr) {
    if (error) *error = "cannot resolve \"" + host + "\": " + ::gai_strerror(rc);
    return false;
  }
  std::memcpy(&out->storage, result->ai_addr, result->ai_addrlen);
  out->length = result->ai_addrlen;
  ::freeaddrinfo(result);
  return true;
}

}  // namespace decnet
