// What the service does for each control-socket request: the node's state as fields,
// the node database, or a loop to a node's MIRROR with one line per round trip. Runs
// on the client's own thread; the node is only asked, never changed.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <string>

#include "decnet/node.h"
#include "ncp_protocol.h"

namespace pellam::service {

inline constexpr uint8_t kMirrorObject = 25;

struct NcpContext {
  decnet::Node* node = nullptr;  // null while DECnet is off
  std::string off_code;          // then: ncp::kErrorUnconfigured or ncp::kErrorNotRunning
  std::string off_text;          // and why, for the administrator
  const std::atomic<bool>* stop = nullptr;  // set when the service is stopping
  std::chrono::milliseconds loop_timeout{5000};  // for the connect and for each answer
};

// Writes one answer line (without its line end); false when the client has gone or
// stopped reading, and the request is then given up.
using LineSink = std::function<bool(const std::string& line)>;

void RunNcpRequest(const ncp::Request& request, const NcpContext& context, const LineSink& write);

}  // namespace pellam::service
