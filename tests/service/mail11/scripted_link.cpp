// The scripted peer's bookkeeping: a send or a receive out of turn is a fault the
// test reports, and the peer then behaves as if the link had failed.
#include "scripted_link.h"

#include <cstdio>

namespace pellam::mail11::test {

decnet::Message Bytes(std::string_view text) { return decnet::Message(text.begin(), text.end()); }

decnet::Message Hex(std::string_view hex) {
  decnet::Message bytes;
  for (size_t i = 0; i + 1 < hex.size(); ++i) {
    if (hex[i] == ' ') continue;
    bytes.push_back(static_cast<uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
    ++i;
  }
  return bytes;
}

Step FromUs(decnet::Message bytes) { return {Step::kFromUs, std::move(bytes)}; }
Step ToUs(decnet::Message bytes) { return {Step::kToUs, std::move(bytes)}; }

std::string Show(const decnet::Message& bytes) {
  std::string text = "[";
  for (uint8_t b : bytes) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02x", b);
    text += (text.size() > 1 ? " " : "") + std::string(hex);
  }
  return text + "]";
}

decnet::Outcome ScriptedLink::Send(const decnet::Message& message, std::chrono::milliseconds) {
  if (journal) journal->push_back("send " + Show(message));
  if (position_ == script_.size()) {
    faults_.push_back("sent " + Show(message) + " after the end of the script");
    return {decnet::LinkError::kDisconnected, 0, {}};
  }
  const Step& step = script_[position_];
  switch (step.kind) {
    case Step::kBreak:
      return {decnet::LinkError::kDisconnected, decnet::kReasonAbort, {}};
    case Step::kSilence:
      return {decnet::LinkError::kTimeout, 0, {}};
    case Step::kToUs:
      faults_.push_back("sent " + Show(message) + " while the peer sends " + Show(step.bytes));
      return {decnet::LinkError::kDisconnected, 0, {}};
    case Step::kFromUs:
      break;
  }
  if (message != step.bytes) {
    faults_.push_back("step " + std::to_string(position_) + ": sent " + Show(message) + ", expected " +
                      Show(step.bytes));
  }
  ++position_;
  return {};
}

decnet::Outcome ScriptedLink::Receive(decnet::Message& message, std::chrono::milliseconds) {
  if (position_ == script_.size()) return {decnet::LinkError::kDisconnected, decnet::kReasonNormal, {}};
  const Step& step = script_[position_];
  switch (step.kind) {
    case Step::kBreak:
      return {decnet::LinkError::kDisconnected, decnet::kReasonAbort, {}};
    case Step::kSilence:
      return {decnet::LinkError::kTimeout, 0, {}};
    case Step::kFromUs:
      faults_.push_back("waited while the peer waits for " + Show(step.bytes));
      return {decnet::LinkError::kTimeout, 0, {}};
    case Step::kToUs:
      break;
  }
  message = step.bytes;
  ++position_;
  return {};
}

}  // namespace pellam::mail11::test
