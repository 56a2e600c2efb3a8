// The end node: one network thread runs the event loop, which owns the data link, the
// routing end node and session control; other threads reach them only through
// posted work (Status) or session control's blocking calls. MIRROR is bound as soon as
// the thread runs, so the node answers loops from the start.
#include "decnet/node.h"

#include <future>
#include <thread>

#include "core/event_loop.h"
#include "link/ethernet_packet.h"
#include "link/ethernet_udp.h"
#include "link/multinet_tcp.h"
#include "routing/end_node.h"
#include "session/mirror.h"
#include "session/session_layer.h"

namespace decnet {

namespace {

// NSP segments carry seven bytes of NSP header without piggy-backed acks; 563 is
// what fits a 576-byte point-to-point block, and a 591-byte LAN block, exactly.
constexpr size_t kNspDataHeader = 7;
constexpr size_t kLargestSegment = 563;

std::string CheckConfig(const NodeConfig& config) {
  if (!config.address.valid()) return "the node address is not set (area 1 to 63, node 1 to 1023)";
  if (!IsValidNodeName(config.name)) {
    return "the node name \"" + config.name + "\" is not 1 to 6 letters and digits with at least one letter";
  }
  const CircuitConfig& c = config.circuit;
  switch (c.kind) {
    case CircuitKind::kMultinetTcpConnect:
      if (c.remote_host.empty()) return "the multinet-tcp-connect circuit needs RemoteHost";
      if (c.remote_port == 0) return "the multinet-tcp-connect circuit needs RemotePort";
      break;
    case CircuitKind::kMultinetTcpListen:
      break;
    case CircuitKind::kEthernetUdp:
      if (c.remote_host.empty()) return "the ethernet-udp circuit needs RemoteHost";
      if (c.remote_port == 0) return "the ethernet-udp circuit needs RemotePort";
      break;
    case CircuitKind::kEthernet:
      if (c.device.empty()) return "the ethernet circuit needs Device";
      break;
  }
  if (c.verification.size() > 64) return "the verification string is longer than 64 characters";
  if (c.hello_timer.count() < 0 || c.hello_timer.count() > 65535) return "the hello timer is out of range (1 to 65535 s)";
  if (config.max_connections == 0) return "the connection limit is zero";
  return {};
}

std::unique_ptr<DataLink> MakeLink(EventLoop& loop, const NodeConfig& config, std::string* circuit_name) {
  const CircuitConfig& c = config.circuit;
  switch (c.kind) {
    case CircuitKind::kMultinetTcpConnect:
      *circuit_name = "MUL-0";
      return std::make_unique<MultinetTcpLink>(loop, MultinetTcpSettings{false, c.remote_host, c.remote_port});
    case CircuitKind::kMultinetTcpListen:
      *circuit_name = "MUL-0";
      return std::make_unique<MultinetTcpLink>(loop, MultinetTcpSettings{true, c.local_host, c.local_port});
    case CircuitKind::kEthernetUdp:
      *circuit_name = "UDP-0";
      return std::make_unique<EthernetUdpLink>(
          loop, config.address, EthernetUdpSettings{c.local_host, c.local_port, c.remote_host, c.remote_port});
    case CircuitKind::kEthernet:
      *circuit_name = "ETH-0";
      return std::make_unique<EthernetPacketLink>(loop, config.address, c.device);
  }
  return nullptr;
}

class NodeImpl final : public Node {
 public:
  explicit NodeImpl(const NodeConfig& config) : config_(config) {}

  ~NodeImpl() override {
    // Only a running loop can carry out the shutdown; a node that failed to open
    // never started one, and nothing of it waits on the loop.
    if (thread_.joinable()) {
      mirror_.reset();  // its links need the loop still running
      session_->Shutdown();
      loop_.Stop();
      thread_.join();
    }
    if (routing_) routing_->Stop();
  }

  bool Open(std::string* error) {
    if (!loop_.ok()) {
      *error = loop_.error();
      return false;
    }
    link_ = MakeLink(loop_, config_, &circuit_name_);
    EndNodeSettings routing_settings;
    routing_settings.self = config_.address;
    routing_settings.hello_timer = config_.circuit.hello_timer;
    routing_settings.verification.assign(config_.circuit.verification.begin(), config_.circuit.verification.end());
    routing_ = std::make_unique<EndNode>(*link_, routing_settings);

    SessionSettings session_settings;
    session_settings.max_links = config_.max_connections;
    session_settings.segment_size = std::min(kLargestSegment, routing_->MaxNspMessage() - kNspDataHeader);
    session_ = std::make_unique<SessionLayer>(*routing_, loop_, config_.nodes, session_settings);
    routing_->SetReceiver(session_.get());

    loop_.SetTimers([this] { return Earlier(routing_->NextDeadline(), session_->NextDeadline()); },
                    [this](TimePoint now) {
                      routing_->Tick(now);
                      session_->Tick(now);
                    });
    if (!routing_->Start(Clock::now(), error)) return false;
    thread_ = std::thread([this] { loop_.Run(); });

    Outcome outcome;
    auto listener = session_->Bind(kMirrorObject, "MIRROR", &outcome);
    if (listener) mirror_ = std::make_unique<MirrorServer>(std::move(listener));
    return true;
  }

  NodeStatus Status() const override {
    auto status = std::make_shared<NodeStatus>();
    status->address = config_.address;
    status->name = config_.name;
    status->identification = config_.identification;
    status->state = "off";
    status->circuit.name = circuit_name_;
    status->circuit.state = "off";
    NodeStatus fallback = *status;
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> ready = done->get_future();
    // Gathered on the network thread, which owns everything read here; the shared
    // result outlives a caller that gave up waiting.
    loop_.Post([this, status, done] {
      status->state = "on";
      status->active_links = session_->active_links();
      status->circuit = routing_->Status();
      status->circuit.name = circuit_name_;
      const RoutingCounters& r = routing_->counters();
      Counters& c = status->counters;
      c.packets_sent = r.packets_sent;
      c.packets_received = r.packets_received;
      c.bytes_sent = r.bytes_sent;
      c.bytes_received = r.bytes_received;
      c.malformed = r.malformed;
      c.adjacency_ups = r.adjacency_ups;
      c.adjacency_downs = r.adjacency_downs;
      session_->AddCounters(c);
      done->set_value();
    });
    if (ready.wait_for(seconds(5)) != std::future_status::ready) return fallback;
    return *status;
  }

  const NodeDatabase& nodes() const override { return config_.nodes; }

  std::unique_ptr<Link> Connect(const ConnectRequest& request, std::chrono::milliseconds timeout,
                                Outcome* outcome) override {
    return session_->Connect(request, timeout, outcome);
  }

  std::unique_ptr<Listener> Bind(uint8_t object, const std::string& name, Outcome* outcome) override {
    return session_->Bind(object, name, outcome);
  }

 private:
  const NodeConfig config_;
  mutable EventLoop loop_;  // Status posts to it
  std::string circuit_name_;
  std::unique_ptr<DataLink> link_;
  std::unique_ptr<EndNode> routing_;
  std::unique_ptr<SessionLayer> session_;
  std::unique_ptr<MirrorServer> mirror_;
  std::thread thread_;
};

}  // namespace

std::unique_ptr<Node> Node::Start(const NodeConfig& config, std::string* error) {
  std::string ignored;
  if (error == nullptr) error = &ignored;
  if (std::string problem = CheckConfig(config); !problem.empty()) {
    *error = problem;
    return nullptr;
  }
  auto node = std::make_unique<NodeImpl>(config);
  if (!node->Open(error)) return nullptr;
  return node;
}

}  // namespace decnet
