// Session control for one node: it owns NSP, binds objects by number and name,
// checks incoming connect data, and bridges the service's threads to the network
// thread. Network-thread calls run the protocol; the blocking calls (Connect, Bind,
// Shutdown) may come from any thread and post their work through the Executor.
// A Link, Listener or PendingConnect must not outlive the SessionLayer that made it.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "core/bytes.h"
#include "core/clock.h"
#include "core/executor.h"
#include "decnet/endpoint.h"
#include "decnet/node.h"
#include "decnet/node_db.h"
#include "nsp/nsp.h"
#include "nsp/routing_port.h"

namespace decnet {

struct SessionSettings {
  size_t max_links = 256;
  size_t segment_size = 563;      // our NSP segment size; the node sets it from the circuit
  // Timers, windows and flow control; max_links and segment_size above override the
  // fields of the same name here.
  NspSettings nsp;
  size_t receive_high_water = 64 * 1024;  // unread bytes on a link before the peer is held back
  size_t receive_limit = 256 * 1024;      // ... and before its segments are dropped unacknowledged
                                          // (raised to leave room for a window in flight)
  size_t send_limit = 64 * 1024;          // unacknowledged bytes before Send blocks
  size_t listen_backlog = 32;             // connects waiting for Accept, per listener
  size_t interrupt_queue = 8;             // unread interrupts before the peer gets no new credit
  std::function<TimePoint()> clock = [] { return Clock::now(); };  // tests use a fake
};

struct LinkState;
struct ListenerState;

class SessionLayer : public NspReceiver, private NspEvents {
 public:
  // `nodes` is the node's name database; session control itself addresses nodes by
  // number only, so it is not kept.
  SessionLayer(RoutingPort& routing, Executor& loop, const NodeDatabase& nodes, SessionSettings settings);
  ~SessionLayer() override;

  // --- network thread only ---
  void OnNspMessage(NodeAddress source, ByteSpan nsp_message, bool returned) override;
  std::optional<TimePoint> NextDeadline() const;  // when Tick wants to run next
  void Tick(TimePoint now);                       // retransmit, delayed ack, inactivity, connect
  void AddCounters(Counters& counters) const;     // NSP's share of the node's counters
  size_t active_links() const;

  // --- any thread (they post to the loop and wait) ---
  std::unique_ptr<Link> Connect(const ConnectRequest& request, std::chrono::milliseconds timeout, Outcome* outcome);
  // Binds an object by number (non-zero) and/or name (matched without regard to
  // case, at most 16 characters). nullptr with kBadArgument when either is taken.
  std::unique_ptr<Listener> Bind(uint8_t object, const std::string& name, Outcome* outcome);
  void Shutdown();  // aborts every link, wakes every waiter with LinkError::kNotRunning; idempotent

  // --- for the endpoint objects (endpoints.cc) ---
  // Runs `work` on the network thread, with the time set. False when the loop has
  // stopped and the work was dropped. `wait`: block until it has run.
  bool RunOnLoop(std::function<void()> work, bool wait);
  Nsp& nsp() { return nsp_; }
  TimePoint now() const { return now_; }
  bool running() const { return running_; }
  const SessionSettings& settings() const { return settings_; }
  void FlushOutbox(LinkState& state);   // network thread: queued sends into NSP
  void FlushInterrupts(LinkState& state);
  void Unbind(ListenerState& listener);

 private:
  void Begin();  // every network-thread entry: read the clock
  void End();    // ... and deliver loopback traffic, forget closed links
  std::shared_ptr<LinkState> StateOf(Connection& c);
  void RejectIncoming(Connection& c, uint16_t reason);

  // NspEvents
  void OnConnectInitiate(Connection& c, ByteSpan session_data) override;
  void OnAccepted(Connection& c, ByteSpan data_ctl) override;
  void OnData(Connection& c, Bytes&& message) override;
  bool OnInterrupt(Connection& c, ByteSpan data) override;
  void OnSendProgress(Connection& c, size_t messages, size_t bytes) override;
  void OnInterruptCredit(Connection& c) override;
  void OnClosed(Connection& c, CloseKind kind, uint16_t reason, ByteSpan data) override;

  Executor& loop_;
  SessionSettings settings_;
  Nsp nsp_;
  TimePoint now_{};
  std::atomic<bool> running_{true};
  std::unordered_map<uint16_t, std::shared_ptr<LinkState>> links_;  // by our link address
  std::vector<std::shared_ptr<const Bytes>> flush_batch_;  // reused by FlushOutbox

  std::mutex objects_mu_;  // the bind tables: any thread binds, the network thread looks up
  std::map<uint8_t, std::shared_ptr<ListenerState>> by_number_;
  std::map<std::string, std::shared_ptr<ListenerState>> by_name_;
};

}  // namespace decnet
