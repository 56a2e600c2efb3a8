// Two or more SessionLayers on a fake network run by the test's own thread: a
// single-threaded executor (the test thread is "the network thread"), a fake clock
// that jumps to the next deadline when nothing else is left to do, and a link that
// can drop, duplicate and reorder packets from a seeded generator.
#pragma once

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <thread>
#include <vector>

#include "core/executor.h"
#include "session/session_layer.h"

namespace decnet::test {

class PumpExecutor : public Executor {
 public:
  void Post(std::function<void()> work) override {
    std::lock_guard lock(mu_);
    queue_.push_back(std::move(work));
  }
  bool InLoopThread() const override { return std::this_thread::get_id() == loop_thread_; }
  bool RunPending() {
    std::deque<std::function<void()>> batch;
    {
      std::lock_guard lock(mu_);
      batch.swap(queue_);
    }
    for (auto& work : batch) work();
    return !batch.empty();
  }

 private:
  std::mutex mu_;
  std::deque<std::function<void()>> queue_;
  std::thread::id loop_thread_ = std::this_thread::get_id();
};

struct NetFaults {
  double drop = 0, duplicate = 0;
  int max_delay_ms = 0;  // each packet is delayed 0..max: later ones may overtake
};

class FakeNet {
 public:
  using Faults = NetFaults;
  explicit FakeNet(Faults faults = {}, uint32_t seed = 1) : faults_(faults), rng_(seed) {}

  class Port : public RoutingPort {
   public:
    Port(FakeNet& net, NodeAddress self) : net_(net), self_(self) {}
    bool SendNsp(NodeAddress to, ByteSpan m, bool) override {
      net_.Send(self_, to, m);
      return true;
    }
    NodeAddress LocalAddress() const override { return self_; }
    size_t MaxNspMessage() const override { return 576; }

   private:
    FakeNet& net_;
    NodeAddress self_;
  };

  // Adds a node; its layer runs on this net's executor and clock.
  SessionLayer& AddNode(NodeAddress address, SessionSettings settings = {}) {
    settings.clock = [this] { return now; };
    auto node = std::make_unique<Node>();
    node->port = std::make_unique<Port>(*this, address);
    node->layer = std::make_unique<SessionLayer>(*node->port, executor, nodes, settings);
    SessionLayer& layer = *node->layer;
    nodes_[address.value] = std::move(node);
    return layer;
  }

  // One round of work: posted work, due packets, due timers. False when idle.
  bool Step() {
    if (real_time) now = std::max(now, Clock::now());
    bool did = executor.RunPending();
    while (!flight_.empty()) {
      auto it = std::min_element(flight_.begin(), flight_.end(),
                                 [](const Packet& a, const Packet& b) { return a.at < b.at; });
      if (it->at > now) break;
      Packet p = std::move(*it);
      flight_.erase(it);
      auto node = nodes_.find(p.to.value);
      if (node != nodes_.end()) node->second->layer->OnNspMessage(p.from, p.wire, false);
      did = true;
    }
    for (auto& [address, node] : nodes_) {
      auto d = node->layer->NextDeadline();
      if (d && *d <= now) {
        node->layer->Tick(now);
        did = true;
      }
    }
    return did;
  }
  // Moves the clock to the next packet or timer; false when there is none.
  bool Jump() {
    if (real_time) return false;
    std::optional<TimePoint> next;
    for (const Packet& p : flight_) next = Earlier(next, p.at);
    for (auto& [address, node] : nodes_) next = Earlier(next, node->layer->NextDeadline());
    if (!next) return false;
    now = std::max(now, *next);
    return true;
  }
  // Runs until `done` or the fake clock passes `limit` from now.
  bool RunUntil(const std::function<bool()>& done, Duration limit = seconds(600)) {
    if (real_time) now = std::max(now, Clock::now());
    TimePoint end = now + limit;
    while (!done()) {
      if (now > end || (real_time && Clock::now() > end)) return false;
      ++steps;
      if (!Step()) {
        ++jumps;
        if (!Jump()) {
          ++sleeps;
          std::this_thread::sleep_for(std::chrono::microseconds(200));
          if (!real_time) now += milliseconds(100);  // nothing scheduled: time still passes
        }
      }
    }
    return true;
  }

  void SetFaults(NetFaults faults) { faults_ = faults; }

  // Other threads use blocking calls: follow the real clock instead of jumping, so
  // that no timer runs out while they are busy.
  bool real_time = false;
  TimePoint now = Clock::now();  // so that switching to real time never goes back
  PumpExecutor executor;
  NodeDatabase nodes;
  uint64_t packets = 0, dropped = 0, duplicated = 0;
  uint64_t steps = 0, jumps = 0, sleeps = 0;

 private:
  struct Node {
    std::unique_ptr<Port> port;
    std::unique_ptr<SessionLayer> layer;
  };
  struct Packet {
    TimePoint at;
    NodeAddress from, to;
    Bytes wire;
  };
  void Send(NodeAddress from, NodeAddress to, ByteSpan m) {
    ++packets;
    std::uniform_real_distribution<double> chance(0, 1);
    if (chance(rng_) < faults_.drop) {
      ++dropped;
      return;
    }
    int copies = chance(rng_) < faults_.duplicate ? 2 : 1;
    if (copies == 2) ++duplicated;
    for (int i = 0; i < copies; ++i) {
      int delay = faults_.max_delay_ms ? std::uniform_int_distribution<int>(0, faults_.max_delay_ms)(rng_) : 0;
      flight_.push_back({now + milliseconds(delay), from, to, Bytes(m.begin(), m.end())});
    }
  }

  Faults faults_;
  std::mt19937 rng_;
  std::vector<Packet> flight_;
  std::map<uint16_t, std::unique_ptr<Node>> nodes_;
};

}  // namespace decnet::test
