// A decnet::Link that plays a peer from a script: records the peer expects from us
// (checked byte for byte), records it sends, and the points where it breaks the link
// or falls silent. Nothing blocks: a wait the script does not answer returns at once.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "decnet/endpoint.h"

namespace pellam::mail11::test {

struct Step {
  enum Kind { kFromUs, kToUs, kBreak, kSilence };
  Kind kind;
  decnet::Message bytes;
};

decnet::Message Bytes(std::string_view text);
decnet::Message Hex(std::string_view hex);  // "12 81 7e 00"
Step FromUs(decnet::Message bytes);
Step ToUs(decnet::Message bytes);
std::string Show(const decnet::Message& bytes);

class ScriptedLink : public decnet::Link {
 public:
  explicit ScriptedLink(std::vector<Step> script) : script_(std::move(script)) {}

  decnet::Outcome Send(const decnet::Message& message, std::chrono::milliseconds timeout) override;
  decnet::Outcome Receive(decnet::Message& message, std::chrono::milliseconds timeout) override;
  void Disconnect(uint16_t, const decnet::Message&) override { disconnected_ = true; }
  void Abort(uint16_t) override { aborted_ = true; }
  decnet::NodeAddress remote() const override { return decnet::NodeAddress::Of(1, 2); }
  const decnet::Message& accept_data() const override { return accept_data_; }

  // Every scripted record was exchanged, and nothing else.
  bool played_whole() const { return position_ == script_.size() && faults_.empty(); }
  const std::vector<std::string>& faults() const { return faults_; }
  bool disconnected() const { return disconnected_; }
  bool aborted() const { return aborted_; }
  // Called on every record we send, after the check; lets a test see the order of
  // sends against its own callbacks.
  std::vector<std::string>* journal = nullptr;

 private:
  std::vector<Step> script_;
  size_t position_ = 0;
  std::vector<std::string> faults_;
  bool disconnected_ = false, aborted_ = false;
  decnet::Message accept_data_;
};

}  // namespace pellam::mail11::test
