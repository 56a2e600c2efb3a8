// The answers. Fields go out as keys and values and pellncp lays them out; a loop
// sends "0x00 + data" to MIRROR and wants "0x01 + the same data" back, with data that
// differs from one round trip to the next so that a stale answer is caught.
#include "ncp_commands.h"

#include <optional>
#include <thread>

#include "decnet/address.h"

namespace pellam::service {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

std::string Address(decnet::NodeAddress address) {
  return address.value == 0 ? std::string("none") : decnet::FormatNodeAddress(address);
}

// "1.1 (ALPHA)", or "1.1" for a node without a name.
std::string AddressAndName(decnet::Node& node, decnet::NodeAddress address) {
  if (address.value == 0) return "none";
  const auto name = node.nodes().NameOf(address);
  return Address(address) + (name ? " (" + *name + ")" : std::string());
}

bool Field(const LineSink& write, const std::string& key, const std::string& value) {
  return write("field " + key + " " + ncp::OneLineText(value));
}

bool Error(const LineSink& write, const std::string& code, const std::string& text) {
  return write("error " + code + " " + ncp::OneLineText(text));
}

bool CircuitFields(decnet::Node& node, const decnet::CircuitStatus& c, const LineSink& write) {
  return Field(write, "circuit", c.name) && Field(write, "circuit-state", c.state) &&
         Field(write, "adjacent-node", AddressAndName(node, c.adjacent)) &&
         Field(write, "adjacent-type", c.adjacent_type.empty() ? "none" : c.adjacent_type) &&
         Field(write, "circuit-detail", c.detail);
}

void ShowExecutor(decnet::Node& node, const LineSink& write) {
  const decnet::NodeStatus s = node.Status();
  const decnet::Counters& n = s.counters;
  const bool ok = Field(write, "address", Address(s.address)) && Field(write, "name", s.name) &&
                  Field(write, "state", s.state) && Field(write, "identification", s.identification) &&
                  Field(write, "active-links", std::to_string(s.active_links)) && CircuitFields(node, s.circuit, write) &&
                  Field(write, "packets-sent", std::to_string(n.packets_sent)) &&
                  Field(write, "packets-received", std::to_string(n.packets_received)) &&
                  Field(write, "bytes-sent", std::to_string(n.bytes_sent)) &&
                  Field(write, "bytes-received", std::to_string(n.bytes_received)) &&
                  Field(write, "malformed-packets", std::to_string(n.malformed)) &&
                  Field(write, "connects-sent", std::to_string(n.connects_sent)) &&
                  Field(write, "connects-received", std::to_string(n.connects_received)) &&
                  Field(write, "connects-refused", std::to_string(n.connects_refused)) &&
                  Field(write, "retransmissions", std::to_string(n.retransmissions)) &&
                  Field(write, "adjacency-ups", std::to_string(n.adjacency_ups)) &&
                  Field(write, "adjacency-downs", std::to_string(n.adjacency_downs));
  if (ok) write("ok");
}

void ShowKnownNodes(decnet::Node& node, const LineSink& write) {
  for (const auto& entry : node.nodes().Entries()) {
    if (!write("node " + Address(entry.address) + " " + entry.name)) return;
  }
  write("ok");
}

// The reason a link call failed, as an error line: false when the loop must end.
void LinkFailure(const decnet::Outcome& outcome, const std::string& target, const LineSink& write) {
  using decnet::LinkError;
  switch (outcome.error) {
    case LinkError::kUnreachable:
    case LinkError::kTimeout:
      Error(write, ncp::kErrorUnreachable, target);
      return;
    case LinkError::kRejected:
      Error(write, ncp::kErrorFailed, "node " + target + " refused the loop (reason " + std::to_string(outcome.reason) + ")");
      return;
    case LinkError::kDisconnected:
      Error(write, ncp::kErrorFailed, "node " + target + " ended the loop (reason " + std::to_string(outcome.reason) + ")");
      return;
    case LinkError::kNoResources:
      Error(write, ncp::kErrorFailed, "no resources for a link to node " + target);
      return;
    case LinkError::kNotRunning:
      Error(write, ncp::kErrorNotRunning, "the DECnet node is not running");
      return;
    case LinkError::kBadArgument:
    case LinkError::kNone:
      Error(write, ncp::kErrorFailed, "the loop to node " + target + " failed");
      return;
  }
}

// Waits for the answer in short steps, so that a stopping service is not held up.
decnet::Outcome ReceiveAnswer(decnet::Link& link, decnet::Message& answer, const NcpContext& context) {
  const auto end = Clock::now() + context.loop_timeout;
  for (;;) {
    const auto left = std::chrono::duration_cast<milliseconds>(end - Clock::now());
    decnet::Outcome outcome = link.Receive(answer, std::min(left, milliseconds(200)));
    if (outcome.error != decnet::LinkError::kTimeout) return outcome;
    if (Clock::now() >= end) return outcome;
    if (context.stop && context.stop->load()) return {decnet::LinkError::kNotRunning, 0, {}};
  }
}

void Loop(const ncp::Request& request, const NcpContext& context, const LineSink& write) {
  decnet::Node& node = *context.node;
  std::optional<decnet::NodeAddress> address = decnet::ParseNodeAddress(request.node);
  if (!address) address = node.nodes().Find(request.node);
  if (!address) {
    Error(write, ncp::kErrorUnknownNode, request.node);
    return;
  }
  const std::string target = AddressAndName(node, *address);
  if (!write("target " + target)) return;
  decnet::ConnectRequest connect;
  connect.node = *address;
  connect.destination.format = 0;
  connect.destination.object = kMirrorObject;
  connect.source.format = 1;
  connect.source.name = "PELLNCP";
  decnet::Outcome outcome;
  std::unique_ptr<decnet::Link> link = node.Connect(connect, context.loop_timeout, &outcome);
  if (!link) {
    if (outcome) outcome.error = decnet::LinkError::kUnreachable;
    LinkFailure(outcome, target, write);
    return;
  }
  decnet::Message message(request.length + 1), answer;
  for (unsigned i = 1; i <= request.count; ++i) {
    if (context.stop && context.stop->load()) {
      link->Abort();
      Error(write, ncp::kErrorNotRunning, "the service is stopping");
      return;
    }
    message[0] = 0x00;
    for (unsigned k = 0; k < request.length; ++k) message[k + 1] = static_cast<uint8_t>(k + i * 7);
    const auto start = Clock::now();
    outcome = link->Send(message, context.loop_timeout);
    if (outcome) outcome = ReceiveAnswer(*link, answer, context);
    if (!outcome) {
      link->Abort();
      LinkFailure(outcome, target, write);
      return;
    }
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
    if (answer.size() != message.size() || answer[0] != 0x01 ||
        !std::equal(message.begin() + 1, message.end(), answer.begin() + 1)) {
      link->Abort();
      Error(write, ncp::kErrorFailed, "node " + target + " answered round trip " + std::to_string(i) + " with other data");
      return;
    }
    if (!write("loop " + std::to_string(i) + " " + std::to_string(micros))) {
      link->Abort();
      return;
    }
  }
  link->Disconnect();
  write("ok");
}

}  // namespace

void RunNcpRequest(const ncp::Request& request, const NcpContext& context, const LineSink& write) {
  if (context.node == nullptr) {
    Error(write, context.off_code.empty() ? ncp::kErrorUnconfigured : context.off_code,
          context.off_text.empty() ? "no DECnet configuration" : context.off_text);
    return;
  }
  switch (request.kind) {
    case ncp::RequestKind::kShowExecutor:
      ShowExecutor(*context.node, write);
      return;
    case ncp::RequestKind::kShowCircuit:
      if (CircuitFields(*context.node, context.node->Status().circuit, write)) write("ok");
      return;
    case ncp::RequestKind::kShowKnownNodes:
      ShowKnownNodes(*context.node, write);
      return;
    case ncp::RequestKind::kLoop:
      Loop(request, context, write);
      return;
  }
}

}  // namespace pellam::service
