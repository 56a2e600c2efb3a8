// One run of pellncp. Show answers are gathered and then laid out; loop answers are
// printed as they come. Each error line of the service becomes one of the fixed texts
// and its exit code.
#include "pellncp.h"

#include <ctime>

#include "command_line.h"
#include "control_client.h"
#include "report.h"

namespace pellncp {
namespace {

using pellam::ncp::ReplyLine;
using pellam::ncp::RequestKind;

constexpr int kShowWaitMs = 5000;
constexpr int kLoopWaitMs = 15000;  // a connect and a round trip, each bounded by the service

// The fixed text and exit code of an "error CODE TEXT" answer.
int ReportError(const std::string& rest, std::ostream& err) {
  const ReplyLine e = pellam::ncp::SplitReplyLine(rest);
  namespace ncp = pellam::ncp;
  if (e.tag == ncp::kErrorUnreachable) {
    err << "pellncp: node unreachable: " << e.rest << "\n";
    return kExitFailed;
  }
  if (e.tag == ncp::kErrorUnknownNode) {
    err << "pellncp: unknown node: " << e.rest << "\n";
    return kExitUnknownNode;
  }
  if (e.tag == ncp::kErrorUnconfigured) {
    err << "pellncp: no DECnet configuration";
    if (!e.rest.empty() && e.rest != "no DECnet configuration") err << " (" << e.rest << ")";
    err << "\n";
    return kExitNoDecnet;
  }
  if (e.tag == ncp::kErrorNotRunning) {
    err << "pellncp: DECnet node not running: " << e.rest << "\n";
    return kExitNoDecnet;
  }
  if (e.tag == ncp::kErrorFailed) {
    err << "pellncp: loop failed: " << e.rest << "\n";
    return kExitFailed;
  }
  if (e.tag == ncp::kErrorBusy) {
    err << "pellncp: the service is busy with other requests; try again\n";
    return kExitNoService;
  }
  err << "pellncp: the service refused the request: " << rest << "\n";
  return kExitNoService;
}

}  // namespace

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const std::string& socket_path) {
  const CommandLine line = ParseCommandLine(args);
  if (!line.error.empty()) {
    err << "pellncp: " << line.error << "\n" << UsageText();
    return kExitUsage;
  }
  if (line.action == Action::kHelp) {
    out << UsageText();
    return kExitOk;
  }
  if (line.action == Action::kVersion) {
    out << "pellncp " << PELLNCP_VERSION << "\n";
    return kExitOk;
  }
  const pellam::ncp::Request& request = line.request;
  const bool loop = request.kind == RequestKind::kLoop;
  Fields fields;
  std::vector<std::pair<std::string, std::string>> nodes;
  std::vector<long> micros;
  std::string target = request.node, error;
  bool ok = false;
  const ClientError status = Ask(
      socket_path, request,
      [&](const ReplyLine& reply) {
        if (reply.tag == "field") {
          const ReplyLine f = pellam::ncp::SplitReplyLine(reply.rest);
          fields.emplace_back(f.tag, f.rest);
        } else if (reply.tag == "node") {
          const ReplyLine n = pellam::ncp::SplitReplyLine(reply.rest);
          nodes.emplace_back(n.tag, n.rest);
        } else if (reply.tag == "target") {
          target = reply.rest;
          out << "Looping to node " << target << ", object MIRROR, " << request.count
              << (request.count == 1 ? " message" : " messages") << " of " << request.length << " bytes\n";
          out.flush();
        } else if (reply.tag == "loop") {
          const ReplyLine l = pellam::ncp::SplitReplyLine(reply.rest);
          const long us = std::strtol(l.rest.c_str(), nullptr, 10);
          micros.push_back(us);
          char text[64];
          std::snprintf(text, sizeof text, "  %s: %.3f ms\n", l.tag.c_str(), static_cast<double>(us) / 1000.0);
          out << text;
          out.flush();
        } else if (reply.tag == "ok") {
          ok = true;
        } else if (reply.tag == "error") {
          error = reply.rest;
        }
      },
      loop ? kLoopWaitMs : kShowWaitMs);
  if (loop && (ok || !micros.empty())) out << LoopSummary(target, request.count, micros);
  switch (status) {
    case ClientError::kNone:
      break;
    case ClientError::kNotRunning:
      err << "pellncp: service not running (nothing listens on " << socket_path << ")\n";
      return kExitNoService;
    case ClientError::kDenied:
      err << "pellncp: cannot reach the service: permission denied on " << socket_path << "\n";
      return kExitNoService;
    case ClientError::kNoAnswer:
      err << "pellncp: the service did not answer\n";
      return kExitNoService;
  }
  if (!ok) return ReportError(error, err);
  const std::string when = DisplayTime(std::time(nullptr));
  switch (request.kind) {
    case RequestKind::kShowExecutor: out << ExecutorReport(fields, when); break;
    case RequestKind::kShowCircuit: out << CircuitReport(fields, when); break;
    case RequestKind::kShowKnownNodes: out << KnownNodesReport(nodes, when); break;
    case RequestKind::kLoop: break;
  }
  return kExitOk;
}

}  // namespace pellncp
