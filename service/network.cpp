// Bringing the DECnet side up and down. Each problem of the configuration is one
// event naming its value; the node starts only from a configuration without one.
#include "network.h"

#include <thread>

#include "decnet_config.h"
#include "pellam.h"

namespace pellam::service {

Network::Network(const EventLog& log, NodeStarter starter) : log_(log), starter_(std::move(starter)) {}

void Network::Start(const std::string& computer_name, const std::string& socket_directory) {
  DecnetSettings settings = ReadDecnetSettings(computer_name);
  local_name_ = settings.local_name;
  const bool usable = settings.state == DecnetSettings::State::kValid;
  for (const ConfigProblem& p : settings.problems) {
    log_.Write(EVT_PARSE, p.value, "", p.text + (usable ? "" : " DECnet stays off until it is corrected."));
  }
  context_.off_code = ncp::kErrorUnconfigured;
  switch (settings.state) {
    case DecnetSettings::State::kAbsent:
      context_.off_text = "no DECnet configuration";
      break;
    case DecnetSettings::State::kInvalid:
      context_.off_text = "no usable DECnet configuration: " + settings.problems.front().value + ": " +
                          settings.problems.front().text;
      break;
    case DecnetSettings::State::kValid: {
      settings.config.identification = "Pellam V" PELLAM_VERSION;
      point_to_point_ = settings.config.circuit.kind == decnet::CircuitKind::kMultinetTcpConnect ||
                        settings.config.circuit.kind == decnet::CircuitKind::kMultinetTcpListen;
      std::string error;
      node_ = starter_(settings.config, &error);
      if (!node_) {
        log_.Write(EVT_CALL_FAILED, "decnet::Node::Start", "", error + " DECnet stays off.");
        context_.off_code = ncp::kErrorNotRunning;
        context_.off_text = "the DECnet node did not start: " + error;
      }
      break;
    }
  }
  context_.node = node_.get();
  server_ = std::make_unique<ControlServer>(
      log_, [this](const ncp::Request& request, const LineSink& write) { RunNcpRequest(request, context_, write); });
  context_.stop = &server_->stopping();
  server_->Start(socket_directory);
}

void Network::AwaitCircuit(std::chrono::milliseconds limit, const std::atomic<bool>& stop) const {
  if (!node_ || !point_to_point_) return;
  const auto end = std::chrono::steady_clock::now() + limit;
  while (node_->Status().circuit.adjacent.value == 0 && !stop.load() && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

void Network::Stop() {
  if (server_) server_->Stop();
  server_.reset();
  context_.node = nullptr;
  node_.reset();
}

}  // namespace pellam::service
