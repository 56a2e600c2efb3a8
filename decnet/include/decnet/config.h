// How an end node is set up: its address and name, its one circuit, its node name
// database. Plain data: the stack never reads configuration itself; the service fills
// this in from the registry and hands it over.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "decnet/address.h"
#include "decnet/node_db.h"

namespace decnet {

enum class CircuitKind {
  kMultinetTcpConnect,  // we connect to RemoteHost:RemotePort
  kMultinetTcpListen,   // we listen on LocalPort for one peer
  kEthernetUdp,         // Ethernet frames in UDP datagrams (the bridge)
  kEthernet,            // a real or virtual interface through a packet socket
};

struct CircuitConfig {
  CircuitKind kind = CircuitKind::kMultinetTcpConnect;
  std::string device;        // kEthernet: interface name
  std::string remote_host;   // IP-borne circuits: the peer
  uint16_t remote_port = 700;
  uint16_t local_port = 700;
  std::string local_host;    // listening and UDP circuits: address to bind; empty = any
  std::chrono::seconds hello_timer{0};  // T3; 0 = the circuit's default (60 s PtP, 10 s LAN)
  std::string verification;  // PtP routing verification string; empty = none
};

struct NodeConfig {
  NodeAddress address;
  std::string name;            // 1 to 6 characters
  std::string identification;  // shown by "show executor"
  CircuitConfig circuit;
  NodeDatabase nodes;
  size_t max_connections = 256;  // logical links at once; further connects are refused
};

}  // namespace decnet
