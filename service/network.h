// The service's DECnet side: reads the configuration, runs the end node while the
// service runs, and serves the control socket that pellncp talks to. Without a DECnet
// key nothing starts but the socket, which then says so; the service's mail work is
// the same either way.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "control_server.h"
#include "decnet/node.h"
#include "event_log.h"

namespace pellam::service {

class Network {
 public:
  // Starts a node; tests put a fake in place of decnet::Node::Start.
  using NodeStarter = std::function<std::unique_ptr<decnet::Node>(const decnet::NodeConfig&, std::string* error)>;

  Network(const EventLog& log, NodeStarter starter);
  ~Network() { Stop(); }
  Network(const Network&) = delete;
  Network& operator=(const Network&) = delete;

  // Reads the configuration (problems go to the event log), starts the node when it is
  // usable, and listens in `socket_directory`. Never fails: whatever does not come up
  // is logged and left off.
  void Start(const std::string& computer_name, const std::string& socket_directory);
  // Waits until a point-to-point circuit has its adjacency, at most `limit`, or until
  // `stop`. Nothing crosses such a circuit before that, and a first pass over the
  // queue that met it still coming up would put every message off for a whole
  // SenderRetryDelta. A LAN circuit sends at once, router or not: no wait.
  void AwaitCircuit(std::chrono::milliseconds limit, const std::atomic<bool>& stop) const;
  // Closes the socket (waiting for its clients), then stops the node. Idempotent.
  void Stop();

  // The configured node name (the Name value), or "" when none is set.
  const std::string& local_name() const { return local_name_; }
  decnet::Node* node() const { return node_.get(); }

 private:
  const EventLog& log_;
  NodeStarter starter_;
  std::string local_name_;
  bool point_to_point_ = false;
  std::unique_ptr<decnet::Node> node_;
  NcpContext context_;
  std::unique_ptr<ControlServer> server_;
};

}  // namespace pellam::service
