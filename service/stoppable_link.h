// A link whose waits end early when the service stops: each wait is cut into short
// slices, and between two of them the stop flag is looked at. The whole wait is still
// bounded by the caller's timeout, so a peer that idles costs only its own link.
#pragma once

#include <atomic>
#include <chrono>

#include "decnet/endpoint.h"

namespace pellam::service {

class StoppableLink : public decnet::Link {
 public:
  StoppableLink(decnet::Link& link, const std::atomic<bool>& stop) : link_(link), stop_(stop) {}

  // kNotRunning once `stop` is set; otherwise as the link's own calls.
  decnet::Outcome Send(const decnet::Message& message, std::chrono::milliseconds timeout) override;
  decnet::Outcome Receive(decnet::Message& message, std::chrono::milliseconds timeout) override;
  void Disconnect(uint16_t reason, const decnet::Message& data) override { link_.Disconnect(reason, data); }
  void Abort(uint16_t reason) override { link_.Abort(reason); }
  decnet::NodeAddress remote() const override { return link_.remote(); }
  const decnet::Message& accept_data() const override { return link_.accept_data(); }

 private:
  template <typename Call>
  decnet::Outcome Sliced(std::chrono::milliseconds timeout, Call call);

  decnet::Link& link_;
  const std::atomic<bool>& stop_;
};

}  // namespace pellam::service
