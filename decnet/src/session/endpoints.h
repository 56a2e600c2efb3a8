// The blocking Link, PendingConnect and Listener of endpoint.h. Each wraps a shared
// state with the network thread: reads wait on it with the real clock, writes queue
// into it and post one flush to the loop (not one per message). Beyond the public
// interface a SessionLink also carries interrupts (the other-data subchannel).
#pragma once

#include <memory>

#include "decnet/endpoint.h"
#include "session/link_state.h"
#include "session/session_layer.h"

namespace decnet {

class SessionLink : public Link {
 public:
  SessionLink(SessionLayer& layer, std::shared_ptr<LinkState> state);
  ~SessionLink() override;  // a link still open is aborted (reason 9)

  Outcome Send(const Message& message, std::chrono::milliseconds timeout) override;
  Outcome Receive(Message& message, std::chrono::milliseconds timeout) override;
  void Disconnect(uint16_t reason = kReasonNormal, const Message& data = {}) override;
  void Abort(uint16_t reason = kReasonAbort) override;
  NodeAddress remote() const override { return remote_; }
  const Message& accept_data() const override { return accept_data_; }

  // At most 16 bytes; waits while earlier interrupts still wait for the peer's credit.
  Outcome SendInterrupt(const Message& data, std::chrono::milliseconds timeout);
  Outcome ReceiveInterrupt(Message& data, std::chrono::milliseconds timeout);

 private:
  Outcome ClosedOutcome() const;  // with the state's mutex held
  void Close(uint16_t reason, const Message& data, bool abort);

  SessionLayer& layer_;
  std::shared_ptr<LinkState> state_;
  NodeAddress remote_;
  Message accept_data_;
};

class SessionPendingConnect : public PendingConnect {
 public:
  SessionPendingConnect(SessionLayer& layer, std::shared_ptr<LinkState> state);
  ~SessionPendingConnect() override;  // unanswered: rejected with "object failed"

  NodeAddress remote() const override { return state_->remote; }
  const EndUser& source() const override { return state_->connect->source; }
  const EndUser& destination() const override { return state_->connect->destination; }
  const std::optional<AccessControl>& access() const override { return state_->connect->access; }
  const Message& user_data() const override { return state_->connect->user_data; }
  // nullptr when the caller has gone meanwhile, or accept data exceeds 16 bytes.
  std::unique_ptr<Link> Confirm(const Message& accept_data = {}) override;
  void Reject(uint16_t reason, const Message& data = {}) override;

 private:
  SessionLayer& layer_;
  std::shared_ptr<LinkState> state_;
  bool answered_ = false;
};

class SessionListener : public Listener {
 public:
  SessionListener(SessionLayer& layer, std::shared_ptr<ListenerState> state);
  ~SessionListener() override;
  std::unique_ptr<PendingConnect> Accept(std::chrono::milliseconds timeout, Outcome* outcome = nullptr) override;

 private:
  SessionLayer& layer_;
  std::shared_ptr<ListenerState> state_;
};

}  // namespace decnet
