// Multinet over TCP, both ends. Connected sockets are non-blocking with TCP_NODELAY:
// a routing packet is a message and should leave at once.
#include "link/multinet_tcp.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>

#include <cerrno>
#include <cstring>

namespace decnet {

namespace {

UniqueFd NewStreamSocket(int family) {
  return UniqueFd(::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
}

void SetNoDelay(int fd) {
  int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

uint16_t LocalPort(int fd) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
  if (address.ss_family == AF_INET) return ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
  if (address.ss_family == AF_INET6) return ntohs(reinterpret_cast<sockaddr_in6*>(&address)->sin6_port);
  return 0;
}

}  // namespace

MultinetTcpLink::MultinetTcpLink(EventLoop& loop, MultinetTcpSettings settings)
    : loop_(loop), settings_(std::move(settings)) {
  before_wait_ = loop_.BeforeWait([this] {
    if (queue_sent_ < queue_.size() && !waiting_writable_) FlushQueue();
  });
}

MultinetTcpLink::~MultinetTcpLink() {
  Stop();
  loop_.CancelBeforeWait(before_wait_);
}

bool MultinetTcpLink::Start(LinkObserver& observer, TimePoint now, std::string* error) {
  observer_ = &observer;
  if (!settings_.listen) {
    state_ = State::kWaiting;
    TryConnect(now);
    return true;
  }
  SocketAddress local;
  if (!ResolveAddress(settings_.host, settings_.port, true, &local, error)) return false;
  listen_fd_ = NewStreamSocket(local.family());
  int one = 1;
  ::setsockopt(listen_fd_.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (!listen_fd_.valid() || ::bind(listen_fd_.get(), reinterpret_cast<sockaddr*>(&local.storage), local.length) != 0 ||
      ::listen(listen_fd_.get(), 4) != 0) {
    if (error) *error = "cannot listen on " + local.ToString() + ": " + ErrnoText(errno);
    listen_fd_.Reset();
    return false;
  }
  bound_port_ = LocalPort(listen_fd_.get());
  loop_.Watch(listen_fd_.get(), EPOLLIN, [this](uint32_t) { OnAccept(); });
  state_ = State::kListening;
  return true;
}

void MultinetTcpLink::Stop() {
  if (fd_.valid()) loop_.Unwatch(fd_.get());
  if (listen_fd_.valid()) loop_.Unwatch(listen_fd_.get());
  fd_.Reset();
  listen_fd_.Reset();
  state_ = State::kStopped;
  retry_at_.reset();
  observer_ = nullptr;
}

void MultinetTcpLink::TryConnect(TimePoint now) {
  retry_at_.reset();
  SocketAddress remote;
  std::string error;
  if (!ResolveAddress(settings_.host, settings_.port, false, &remote, &error)) {
    last_error_ = error;
    retry_at_ = now + backoff_;
    backoff_ = std::min(backoff_ * 2, kMaxBackoff);
    return;
  }
  UniqueFd fd = NewStreamSocket(remote.family());
  if (!fd.valid()) {
    last_error_ = "socket: " + ErrnoText(errno);
    retry_at_ = now + backoff_;
    backoff_ = std::min(backoff_ * 2, kMaxBackoff);
    return;
  }
  int rc = ::connect(fd.get(), reinterpret_cast<sockaddr*>(&remote.storage), remote.length);
  if (rc != 0 && errno != EINPROGRESS) {
    last_error_ = "connect to " + remote.ToString() + ": " + ErrnoText(errno);
    retry_at_ = now + backoff_;
    backoff_ = std::min(backoff_ * 2, kMaxBackoff);
    return;
  }
  peer_ = remote;
  fd_ = std::move(fd);
  state_ = State::kConnecting;
  loop_.Watch(fd_.get(), EPOLLOUT, [this](uint32_t events) { OnConnectReady(events); });
}

void MultinetTcpLink::OnConnectReady(uint32_t) {
  int error = 0;
  socklen_t length = sizeof error;
  ::getsockopt(fd_.get(), SOL_SOCKET, SO_ERROR, &error, &length);
  if (error != 0) {
    last_error_ = "connect to " + peer_.ToString() + ": " + ErrnoText(error);
    loop_.Unwatch(fd_.get());
    fd_.Reset();
    TimePoint now = Clock::now();
    state_ = State::kWaiting;
    retry_at_ = now + backoff_;
    backoff_ = std::min(backoff_ * 2, kMaxBackoff);
    return;
  }
  loop_.Unwatch(fd_.get());
  UniqueFd fd = std::move(fd_);
  Adopt(std::move(fd), peer_);
}

void MultinetTcpLink::OnAccept() {
  SocketAddress peer;
  peer.length = sizeof peer.storage;
  int fd = ::accept4(listen_fd_.get(), reinterpret_cast<sockaddr*>(&peer.storage), &peer.length,
                     SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (fd < 0) return;  // the peer gave up already, or a transient shortage: wait for the next
  if (fd_.valid()) DropConnection(Clock::now(), "replaced by a new connection from " + peer.ToString());
  Adopt(UniqueFd(fd), peer);
}

void MultinetTcpLink::Adopt(UniqueFd fd, const SocketAddress& peer) {
  SetNoDelay(fd.get());
  fd_ = std::move(fd);
  peer_ = peer;
  reassembler_.Reset();
  queue_.clear();
  queue_sent_ = 0;
  waiting_writable_ = false;
  last_error_.clear();
  backoff_ = kFirstBackoff;
  state_ = State::kConnected;
  loop_.Watch(fd_.get(), EPOLLIN | EPOLLRDHUP, [this](uint32_t events) { OnSocketEvent(events); });
  if (observer_) observer_->OnLinkUp(Clock::now());
}

void MultinetTcpLink::OnSocketEvent(uint32_t events) {
  if (events & EPOLLOUT) FlushQueue();
  if (state_ != State::kConnected) return;
  if (events & (EPOLLIN | EPOLLRDHUP | EPOLLHUP | EPOLLERR)) ReadAll();
}

void MultinetTcpLink::ReadAll() {
  // Bounded: a peer that keeps the socket full cannot hold the loop for ever.
  for (int round = 0; round < 16 && state_ == State::kConnected; ++round) {
    std::span<uint8_t> tail = reassembler_.WritableTail();
    ssize_t n = ::read(fd_.get(), tail.data(), tail.size());
    if (n < 0) {
      if (errno == EAGAIN || errno == EINTR) return;
      DropConnection(Clock::now(), "read: " + ErrnoText(errno));
      return;
    }
    if (n == 0) {
      DropConnection(Clock::now(), "the peer closed the connection");
      return;
    }
    reassembler_.Commit(static_cast<size_t>(n));
    TimePoint now = Clock::now();
    // The observer may drop the connection (a failed start-up restarts the link);
    // then the rest of what was read belongs to a dead stream.
    bool framed = reassembler_.Drain([&](ByteSpan packet) {
      if (observer_) observer_->OnPacket(packet, MacAddress{}, now);
      return state_ == State::kConnected;
    });
    if (!framed) {
      if (observer_) observer_->OnMalformedFrame();
      DropConnection(now, "the peer's stream lost its Multinet framing");
      return;
    }
    if (static_cast<size_t>(n) < tail.size()) return;
  }
}

bool MultinetTcpLink::Send(ByteSpan packet, const MacAddress&) {
  if (state_ != State::kConnected || packet.empty() || packet.size() > kMultinetMaxPacket) return false;
  if (queue_.size() - queue_sent_ + kMultinetHeader + packet.size() > kMaxQueuedBytes) return false;
  uint8_t header[kMultinetHeader];
  EncodeMultinetHeader(packet.size(), header);
  queue_.insert(queue_.end(), header, header + kMultinetHeader);
  queue_.insert(queue_.end(), packet.begin(), packet.end());
  if (queue_.size() - queue_sent_ >= kWriteAtOnce && !waiting_writable_) FlushQueue();
  return true;
}

void MultinetTcpLink::FlushQueue() {
  if (state_ != State::kConnected) return;
  while (queue_sent_ < queue_.size()) {
    ssize_t n = ::write(fd_.get(), queue_.data() + queue_sent_, queue_.size() - queue_sent_);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN) {
        if (!waiting_writable_) loop_.Modify(fd_.get(), EPOLLIN | EPOLLRDHUP | EPOLLOUT);
        waiting_writable_ = true;
        return;
      }
      DropConnection(Clock::now(), "write: " + ErrnoText(errno));
      return;
    }
    queue_sent_ += static_cast<size_t>(n);
  }
  queue_.clear();  // keeps its capacity
  queue_sent_ = 0;
  if (waiting_writable_) loop_.Modify(fd_.get(), EPOLLIN | EPOLLRDHUP);
  waiting_writable_ = false;
}

void MultinetTcpLink::DropConnection(TimePoint now, const std::string& why) {
  if (!fd_.valid()) return;
  loop_.Unwatch(fd_.get());
  fd_.Reset();
  queue_.clear();
  queue_sent_ = 0;
  waiting_writable_ = false;
  reassembler_.Reset();
  last_error_ = why;
  if (settings_.listen) {
    state_ = State::kListening;
  } else {
    state_ = State::kWaiting;
    retry_at_ = now + backoff_;
    backoff_ = std::min(backoff_ * 2, kMaxBackoff);
  }
  if (observer_) observer_->OnLinkDown(now);
}

void MultinetTcpLink::Restart(TimePoint now) {
  if (state_ == State::kConnected) DropConnection(now, "restarted after the adjacency failed");
}

std::optional<TimePoint> MultinetTcpLink::NextDeadline() const {
  return state_ == State::kWaiting ? retry_at_ : std::nullopt;
}

void MultinetTcpLink::Tick(TimePoint now) {
  if (state_ == State::kWaiting && retry_at_ && *retry_at_ <= now) TryConnect(now);
}

std::string MultinetTcpLink::Describe() const {
  switch (state_) {
    case State::kConnected:
      return (settings_.listen ? "connected from " : "connected to ") + peer_.ToString();
    case State::kConnecting:
      return "connecting to " + peer_.ToString();
    case State::kListening:
      return "listening on port " + std::to_string(bound_port_) +
             (last_error_.empty() ? std::string() : " (" + last_error_ + ")");
    case State::kWaiting:
      return "waiting to connect to " + settings_.host + ":" + std::to_string(settings_.port) +
             (last_error_.empty() ? std::string() : " (" + last_error_ + ")");
    case State::kStopped:
      break;
  }
  return "stopped";
}

}  // namespace decnet
