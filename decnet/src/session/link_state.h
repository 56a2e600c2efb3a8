// What a link, a pending connect and a listener share between the network thread and
// the thread that uses them. Every field is guarded by the struct's mutex; the
// condition variable wakes the user's thread when anything it waits for changes.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "core/bytes.h"
#include "decnet/endpoint.h"
#include "session/connect_data.h"

namespace decnet {

struct LinkState {
  enum class Phase { kConnecting, kPending, kOpen, kClosed };

  std::mutex mu;
  std::condition_variable cv;
  Phase phase = Phase::kConnecting;
  Outcome outcome;            // why it is closed or failed
  uint16_t local = 0;         // NSP link address; 0 until NSP has the link
  NodeAddress remote;
  Message accept_data;        // outgoing: the peer's confirm data
  std::optional<ConnectData> connect;  // incoming: what the caller sent

  std::deque<Message> inbox;  // whole messages not yet read
  size_t inbox_bytes = 0;
  bool receive_busy = false;  // the peer is being held back
  bool resume_posted = false;
  std::deque<Message> interrupts;
  bool interrupt_owed = false;  // a credit to grant once the reader catches up

  std::vector<std::shared_ptr<const Bytes>> outbox;  // sent by the user, not yet in NSP
  std::deque<Message> interrupt_outbox;
  bool flush_posted = false;
  size_t send_cost = 0;       // queued and unacknowledged, with a per-message overhead
};

struct ListenerState {
  std::mutex mu;
  std::condition_variable cv;
  uint8_t object = 0;
  std::string name;           // upper case
  std::deque<std::shared_ptr<LinkState>> pending;
  bool closed = false;
};

// What a queued message costs against the send limit: its bytes and its bookkeeping.
constexpr size_t kMessageOverhead = 64;

}  // namespace decnet
