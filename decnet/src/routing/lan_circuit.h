// The Ethernet circuit of an end node. It sends an End node hello to all routers every
// hello time and listens for Router hellos from its own area. Of the routers heard, the
// designated router is the one with the highest priority, then the highest address (as
// the routers themselves elect it), so that two routers on one LAN do not make it flap;
// a router is forgotten after three of its own hello times of silence. Data for a node
// goes to the station that last brought us data from it (the previous-hop cache, 60 s),
// else to the designated router, else straight to the node's own station address.
// Both tables are bounded, so a flood of hellos or sources cannot grow memory.
#pragma once

#include <map>
#include <optional>
#include <unordered_map>

#include "routing/circuit.h"

namespace decnet {

struct LanSettings {
  NodeAddress self;
  Duration hello_timer = seconds(10);
  uint16_t block_size = 591;
  Duration cache_life = seconds(60);
  size_t max_routers = 32;
  size_t max_cache_entries = 1024;
};

class LanCircuit final : public Circuit {
 public:
  LanCircuit(DataLink& link, NspReceiver& receiver, LanSettings settings);

  // LinkObserver
  void OnLinkUp(TimePoint now) override;
  void OnLinkDown(TimePoint now) override;
  void OnPacket(ByteSpan packet, const MacAddress& source, TimePoint now) override;
  void OnMalformedFrame() override { ++counters_.malformed; }

  bool SendData(NodeAddress destination, ByteSpan nsp_message, bool return_to_sender) override;
  bool adjacency_up() const override { return designated_router_.has_value(); }
  size_t max_nsp_message() const override;
  std::optional<TimePoint> NextDeadline() const override;
  void Tick(TimePoint now) override;
  CircuitStatus Status() const override;

  std::optional<NodeAddress> designated_router() const { return designated_router_; }
  // Where data for `node` would go now.
  MacAddress NextHop(NodeAddress node) const;
  size_t cache_size() const { return cache_.size(); }

 private:
  struct Router {
    uint8_t priority = 0;
    uint16_t block_size = 0;
    NodeType type = NodeType::kL1Router;
    TimePoint expires;
  };
  struct CacheEntry {
    MacAddress previous_hop;
    TimePoint expires;
  };

  void SendHello(TimePoint now);
  void OnRouterHello(ByteSpan packet, TimePoint now);
  void ElectDesignatedRouter();
  void ExpireRouters(TimePoint now);
  void ExpireCache(TimePoint now);
  void Remember(NodeAddress node, const MacAddress& previous_hop, TimePoint now);

  LanSettings settings_;
  bool link_up_ = false;
  TimePoint now_{};  // the latest time we were given; SendData has none of its own
  std::optional<TimePoint> next_hello_;
  std::map<NodeAddress, Router> routers_;
  std::optional<NodeAddress> designated_router_;
  std::unordered_map<uint16_t, CacheEntry> cache_;
  std::optional<TimePoint> next_cache_sweep_;
};

}  // namespace decnet
