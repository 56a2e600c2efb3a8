// Chooses the circuit by the kind of link and forwards between it and NSP.
#include "routing/end_node.h"

namespace decnet {

EndNode::EndNode(DataLink& link, EndNodeSettings settings) : link_(link), settings_(std::move(settings)) {
  if (link.is_lan()) {
    LanSettings lan;
    lan.self = settings_.self;
    if (settings_.hello_timer.count() > 0) lan.hello_timer = settings_.hello_timer;
    circuit_ = std::make_unique<LanCircuit>(link, *this, lan);
  } else {
    PtpSettings ptp;
    ptp.self = settings_.self;
    if (settings_.hello_timer.count() > 0) ptp.hello_timer = settings_.hello_timer;
    ptp.verification = settings_.verification;
    circuit_ = std::make_unique<PtpCircuit>(link, *this, ptp);
  }
}

bool EndNode::Start(TimePoint now, std::string* error) { return link_.Start(*circuit_, now, error); }

void EndNode::Stop() { link_.Stop(); }

bool EndNode::SendNsp(NodeAddress destination, ByteSpan nsp_message, bool return_to_sender) {
  if (nsp_message.empty()) return false;
  return circuit_->SendData(destination, nsp_message, return_to_sender);
}

std::optional<TimePoint> EndNode::NextDeadline() const {
  return Earlier(circuit_->NextDeadline(), link_.NextDeadline());
}

void EndNode::Tick(TimePoint now) {
  link_.Tick(now);
  circuit_->Tick(now);
}

void EndNode::OnNspMessage(NodeAddress source, ByteSpan nsp_message, bool returned) {
  if (receiver_) receiver_->OnNspMessage(source, nsp_message, returned);
}

}  // namespace decnet
