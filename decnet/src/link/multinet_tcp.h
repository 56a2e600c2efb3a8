// Multinet over TCP: a point-to-point circuit in a TCP stream. In connect mode the link
// connects to the peer and, whenever the connection fails or drops, tries again after a
// back-off that doubles from one second to a minute. In listen mode it accepts one peer
// at a time; a new connection replaces the old one, since a peer that restarted leaves
// its old connection behind half-open. Sends never block: packets gather in a bounded
// queue that is written out once per loop round (one system call for a round's worth
// of segments and acks), and beyond its bound packets are dropped (NSP retransmits).
#pragma once

#include <optional>
#include <string>

#include "core/event_loop.h"
#include "link/data_link.h"
#include "link/multinet_framing.h"
#include "link/socket_util.h"

namespace decnet {

struct MultinetTcpSettings {
  bool listen = false;
  std::string host;   // connect: the peer; listen: the address to bind (empty = any)
  uint16_t port = 700;
};

class MultinetTcpLink final : public DataLink {
 public:
  static constexpr Duration kFirstBackoff = seconds(1);
  static constexpr Duration kMaxBackoff = seconds(60);
  static constexpr size_t kMaxQueuedBytes = 1 << 20;
  static constexpr size_t kWriteAtOnce = 64 * 1024;  // a queue this long goes out without waiting

  MultinetTcpLink(EventLoop& loop, MultinetTcpSettings settings);
  ~MultinetTcpLink() override;

  bool is_lan() const override { return false; }
  bool Start(LinkObserver& observer, TimePoint now, std::string* error) override;
  void Stop() override;
  bool Send(ByteSpan packet, const MacAddress& destination) override;
  void Restart(TimePoint now) override;
  std::optional<TimePoint> NextDeadline() const override;
  void Tick(TimePoint now) override;
  std::string Describe() const override;

  // The port actually bound in listen mode (port 0 asks the kernel for one).
  uint16_t bound_port() const { return bound_port_; }

 private:
  enum class State { kStopped, kWaiting, kConnecting, kConnected, kListening };

  void TryConnect(TimePoint now);
  void OnConnectReady(uint32_t events);
  void OnAccept();
  void Adopt(UniqueFd fd, const SocketAddress& peer);
  void OnSocketEvent(uint32_t events);
  void ReadAll();
  void FlushQueue();
  void DropConnection(TimePoint now, const std::string& why);

  EventLoop& loop_;
  MultinetTcpSettings settings_;
  LinkObserver* observer_ = nullptr;
  State state_ = State::kStopped;
  UniqueFd listen_fd_, fd_;
  SocketAddress peer_;
  uint16_t bound_port_ = 0;
  Duration backoff_ = kFirstBackoff;
  std::optional<TimePoint> retry_at_;
  MultinetReassembler reassembler_;
  Bytes queue_;          // bytes the socket has not taken yet, in order
  size_t queue_sent_ = 0;
  bool waiting_writable_ = false;
  int before_wait_ = 0;  // the loop hook that writes the queue out  // the socket was full: EPOLLOUT says when to go on
  std::string last_error_;
};

}  // namespace decnet
