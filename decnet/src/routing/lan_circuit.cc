// The LAN end node: hellos, the designated router, the previous-hop cache.
#include "routing/lan_circuit.h"

#include <algorithm>

namespace decnet {

namespace {
constexpr size_t kHelloTestBytes = 50;
constexpr int kRouterListenMultiple = 3;
}  // namespace

LanCircuit::LanCircuit(DataLink& link, NspReceiver& receiver, LanSettings settings)
    : Circuit(settings.self, link, receiver), settings_(std::move(settings)) {}

void LanCircuit::OnLinkUp(TimePoint now) {
  now_ = now;
  link_up_ = true;
  SendHello(now);
}

void LanCircuit::OnLinkDown(TimePoint now) {
  now_ = now;
  link_up_ = false;
  next_hello_.reset();
  routers_.clear();
  ElectDesignatedRouter();
}

void LanCircuit::SendHello(TimePoint now) {
  EndnodeHello hello;
  hello.id = self_;
  hello.block_size = settings_.block_size;
  hello.hello_timer = static_cast<uint16_t>(std::chrono::duration_cast<seconds>(settings_.hello_timer).count());
  if (designated_router_) hello.designated_router = MacAddress::ForNode(*designated_router_);
  hello.test_data.assign(kHelloTestBytes, 0xaa);
  out_.clear();
  Encode(hello, out_);
  Transmit(out_, kAllRouters);
  next_hello_ = now + settings_.hello_timer;
}

void LanCircuit::OnPacket(ByteSpan raw, const MacAddress& source, TimePoint now) {
  now_ = now;
  CountReceived(raw);
  std::optional<ByteSpan> packet = StripPadding(raw);
  if (!packet) {
    ++counters_.malformed;
    return;
  }
  switch (ClassifyRoutingPacket(*packet)) {
    case RoutingKind::kRouterHello:
      OnRouterHello(*packet, now);
      return;
    case RoutingKind::kEndnodeHello:
      if (!DecodeEndnodeHello(*packet)) ++counters_.malformed;
      return;  // other end nodes are no concern of ours
    case RoutingKind::kLevel1Routing:
    case RoutingKind::kLevel2Routing:
      if (!DecodeRoutingMessage(*packet)) ++counters_.malformed;
      return;
    case RoutingKind::kShortData:
    case RoutingKind::kLongData: {
      DataHeader header;
      if (!DeliverData(*packet, &header)) return;
      // A returned packet's source is the node that could not be reached, not a
      // station that can reach it.
      if (header.destination == self_ && !header.rts() && header.source.valid()) {
        Remember(header.source, source, now);
      }
      return;
    }
    default:
      ++counters_.malformed;  // point-to-point messages have no place on a LAN
      return;
  }
}

void LanCircuit::OnRouterHello(ByteSpan packet, TimePoint now) {
  std::optional<RouterHello> hello = DecodeRouterHello(packet);
  if (!hello) {
    ++counters_.malformed;
    return;
  }
  NodeType type = hello->node_type();
  if (hello->version.major != 2 || !hello->id.valid() || hello->id.area() != self_.area() ||
      (type != NodeType::kL1Router && type != NodeType::kAreaRouter)) {
    return;  // out of area, or not a Phase IV router: not our business
  }
  auto it = routers_.find(hello->id);
  if (it == routers_.end()) {
    if (routers_.size() >= settings_.max_routers) return;
    it = routers_.emplace(hello->id, Router{}).first;
  }
  Duration their_hello = hello->hello_timer ? Duration(seconds(hello->hello_timer)) : settings_.hello_timer;
  it->second.priority = hello->priority;
  it->second.block_size = hello->block_size;
  it->second.type = type;
  it->second.expires = now + their_hello * kRouterListenMultiple;
  ElectDesignatedRouter();
}

void LanCircuit::ElectDesignatedRouter() {
  std::optional<NodeAddress> best;
  uint8_t best_priority = 0;
  for (const auto& [address, router] : routers_) {
    if (!best || router.priority > best_priority || (router.priority == best_priority && address > *best)) {
      best = address;
      best_priority = router.priority;
    }
  }
  if (best == designated_router_) return;
  if (designated_router_) ++counters_.adjacency_downs;
  if (best) ++counters_.adjacency_ups;
  designated_router_ = best;
}

void LanCircuit::ExpireRouters(TimePoint now) {
  bool changed = false;
  for (auto it = routers_.begin(); it != routers_.end();) {
    if (it->second.expires <= now) {
      it = routers_.erase(it);
      changed = true;
    } else {
      ++it;
    }
  }
  if (changed) ElectDesignatedRouter();
}

void LanCircuit::Remember(NodeAddress node, const MacAddress& previous_hop, TimePoint now) {
  auto it = cache_.find(node.value);
  if (it == cache_.end()) {
    if (cache_.size() >= settings_.max_cache_entries) {
      ExpireCache(now);
      if (cache_.size() >= settings_.max_cache_entries) return;  // full of live entries
    }
    it = cache_.emplace(node.value, CacheEntry{}).first;
  }
  it->second.previous_hop = previous_hop;
  it->second.expires = now + settings_.cache_life;
  if (!next_cache_sweep_) next_cache_sweep_ = it->second.expires;
}

void LanCircuit::ExpireCache(TimePoint now) {
  std::optional<TimePoint> earliest;
  for (auto it = cache_.begin(); it != cache_.end();) {
    if (it->second.expires <= now) {
      it = cache_.erase(it);
    } else {
      earliest = Earlier(earliest, it->second.expires);
      ++it;
    }
  }
  next_cache_sweep_ = earliest;
}

MacAddress LanCircuit::NextHop(NodeAddress node) const {
  auto it = cache_.find(node.value);
  if (it != cache_.end() && it->second.expires > now_) return it->second.previous_hop;
  if (designated_router_) return MacAddress::ForNode(*designated_router_);
  return MacAddress::ForNode(node);
}

bool LanCircuit::SendData(NodeAddress destination, ByteSpan nsp_message, bool return_to_sender) {
  if (!link_up_) return false;
  DataHeader header;
  header.long_format = true;
  // Packets we originate start on this Ethernet.
  header.flags = static_cast<uint8_t>(kIntraEthernet | (return_to_sender ? kRqr : 0));
  header.destination = destination;
  header.source = self_;
  out_.clear();
  Encode(header, out_);
  out_.insert(out_.end(), nsp_message.begin(), nsp_message.end());
  return Transmit(out_, NextHop(destination));
}

size_t LanCircuit::max_nsp_message() const {
  size_t block = settings_.block_size;
  if (designated_router_) {
    auto it = routers_.find(*designated_router_);
    if (it != routers_.end() && it->second.block_size >= kLongDataHeader + 64) {
      block = std::min<size_t>(block, it->second.block_size);
    }
  }
  return block - kLongDataHeader;
}

std::optional<TimePoint> LanCircuit::NextDeadline() const {
  std::optional<TimePoint> next = Earlier(next_hello_, next_cache_sweep_);
  for (const auto& [address, router] : routers_) next = Earlier(next, router.expires);
  return next;
}

void LanCircuit::Tick(TimePoint now) {
  now_ = now;
  ExpireRouters(now);
  if (next_cache_sweep_ && *next_cache_sweep_ <= now) ExpireCache(now);
  if (link_up_ && next_hello_ && *next_hello_ <= now) SendHello(now);
}

CircuitStatus LanCircuit::Status() const {
  CircuitStatus status;
  status.state = !link_up_ ? "off" : designated_router_ ? "on" : "starting";
  if (designated_router_) {
    status.adjacent = *designated_router_;
    auto it = routers_.find(*designated_router_);
    if (it != routers_.end()) status.adjacent_type = NodeTypeText(it->second.type);
  }
  status.detail = link_.Describe();
  return status;
}

}  // namespace decnet
