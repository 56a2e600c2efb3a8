// A stand-in for the DECnet node: a status and node database set by the test, and
// MIRROR links to the nodes it calls reachable, which answer as told (rightly, with
// other data, by disconnecting, or not at all). It counts the links it opened and
// closed, so that a test sees none left behind.
#pragma once

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <thread>

#include "decnet/node.h"

namespace pellam::test {

enum class MirrorBehaviour { kAnswer, kWrongData, kDisconnect, kSilent };

class FakeNode : public decnet::Node {
 public:
  decnet::NodeStatus status;
  decnet::NodeDatabase db;
  std::map<uint16_t, MirrorBehaviour> reachable;  // by address value
  std::atomic<int> links_open{0};
  decnet::LinkError connect_error = decnet::LinkError::kUnreachable;  // for nodes not reachable

  decnet::NodeStatus Status() const override { return status; }
  const decnet::NodeDatabase& nodes() const override { return db; }

  std::unique_ptr<decnet::Link> Connect(const decnet::ConnectRequest& request, std::chrono::milliseconds,
                                        decnet::Outcome* outcome) override {
    const auto it = reachable.find(request.node.value);
    if (it == reachable.end() || request.destination.object != 25) {
      if (outcome) outcome->error = connect_error;
      if (outcome) outcome->reason = 4;
      return nullptr;
    }
    return std::make_unique<Link>(*this, request.node, it->second);
  }
  std::unique_ptr<decnet::Listener> Bind(uint8_t, const std::string&, decnet::Outcome* outcome) override {
    if (outcome) outcome->error = decnet::LinkError::kBadArgument;
    return nullptr;
  }

 private:
  class Link : public decnet::Link {
   public:
    Link(FakeNode& node, decnet::NodeAddress remote, MirrorBehaviour behaviour)
        : node_(node), remote_(remote), behaviour_(behaviour) {
      ++node_.links_open;
    }
    ~Link() override { --node_.links_open; }
    decnet::Outcome Send(const decnet::Message& message, std::chrono::milliseconds) override {
      pending_ = message;
      has_pending_ = true;
      return {};
    }
    decnet::Outcome Receive(decnet::Message& message, std::chrono::milliseconds timeout) override {
      if (!has_pending_ || behaviour_ == MirrorBehaviour::kSilent) {
        std::this_thread::sleep_for(timeout);
        return {decnet::LinkError::kTimeout, 0, {}};
      }
      if (behaviour_ == MirrorBehaviour::kDisconnect) return {decnet::LinkError::kDisconnected, 38, {}};
      has_pending_ = false;
      message = pending_;
      message[0] = 0x01;
      if (behaviour_ == MirrorBehaviour::kWrongData && message.size() > 1) message.back() ^= 0xff;
      return {};
    }
    void Disconnect(uint16_t, const decnet::Message&) override {}
    void Abort(uint16_t) override {}
    decnet::NodeAddress remote() const override { return remote_; }
    const decnet::Message& accept_data() const override { return empty_; }

   private:
    FakeNode& node_;
    decnet::NodeAddress remote_;
    MirrorBehaviour behaviour_;
    decnet::Message pending_, empty_;
    bool has_pending_ = false;
  };
};

}  // namespace pellam::test
