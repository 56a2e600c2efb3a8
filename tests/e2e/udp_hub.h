// A LAN for end nodes whose circuits carry Ethernet frames in UDP: one socket on
// loopback that repeats every datagram from one of its peers to all the others, as a
// hub repeats frames on a wire. Peers are the local ports given at the start; anything
// else is dropped. It runs on a thread of its own until it is destroyed, and forwards
// at most `limit` datagrams, so that no test can leave it running or flooding.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

namespace pellam::e2e {

class UdpHub {
 public:
  UdpHub(std::vector<uint16_t> peer_ports, uint64_t limit = 2'000'000);
  ~UdpHub();
  UdpHub(const UdpHub&) = delete;
  UdpHub& operator=(const UdpHub&) = delete;

  // The hub's own port on 127.0.0.1 (every peer's RemotePort); 0 when it did not start.
  uint16_t port() const { return port_; }
  // Datagrams repeated so far (one per datagram, however many peers it went to).
  uint64_t repeated() const { return repeated_.load(); }

 private:
  void Run();

  std::vector<uint16_t> peers_;
  uint64_t limit_;
  int fd_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<uint64_t> repeated_{0};
  std::thread thread_;
};

}  // namespace pellam::e2e
