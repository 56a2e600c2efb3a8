// A DECnet Phase IV end node with one circuit, run by a network thread of its own.
// Start it with a configuration; connect, bind and read its state from any thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "decnet/address.h"
#include "decnet/config.h"
#include "decnet/endpoint.h"
#include "decnet/export.h"

namespace decnet {

struct CircuitStatus {
  std::string name;             // e.g. "MUL-0"
  std::string state;            // "on", "starting", "off"
  NodeAddress adjacent;         // the adjacent node or designated router; 0 when none
  std::string adjacent_type;    // "routing IV", "area router", "nonrouting IV", ""
  std::string detail;           // e.g. the peer's host:port, the interface
};

struct Counters {
  uint64_t packets_sent = 0, packets_received = 0;
  uint64_t bytes_sent = 0, bytes_received = 0;
  uint64_t malformed = 0;               // dropped as undecodable
  uint64_t connects_sent = 0, connects_received = 0, connects_refused = 0;
  uint64_t retransmissions = 0;
  uint64_t adjacency_ups = 0, adjacency_downs = 0;
};

struct NodeStatus {
  NodeAddress address;
  std::string name;
  std::string state;            // "on" or "off"
  std::string identification;
  size_t active_links = 0;
  CircuitStatus circuit;
  Counters counters;
};

class DECNET_API Node {
 public:
  virtual ~Node() = default;  // stops the network thread, aborting every link

  // Starts the network thread. Fails (nullptr, with `error` set) only for a
  // configuration the stack cannot use; a circuit that cannot come up yet keeps
  // trying in the background.
  static std::unique_ptr<Node> Start(const NodeConfig& config, std::string* error);

  virtual NodeStatus Status() const = 0;
  virtual const NodeDatabase& nodes() const = 0;
  virtual std::unique_ptr<Link> Connect(const ConnectRequest& request, std::chrono::milliseconds timeout,
                                        Outcome* outcome) = 0;
  // Binds an object by number (and name, for format-1 connects); nullptr when taken.
  virtual std::unique_ptr<Listener> Bind(uint8_t object, const std::string& name, Outcome* outcome) = 0;
};

}  // namespace decnet
