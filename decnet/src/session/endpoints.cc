// Blocking endpoints over the shared link state (see endpoints.h).
#include "session/endpoints.h"

namespace decnet {
namespace {
constexpr size_t kInterruptOutboxLimit = 4;

// A zero timeout polls: no trip through the kernel when there is nothing to wait for.
template <class Ready>
bool WaitFor(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, std::chrono::milliseconds timeout,
             Ready ready) {
  if (ready()) return true;
  if (timeout <= std::chrono::milliseconds(0)) return false;
  return cv.wait_for(lock, timeout, ready);
}

Outcome Failed(LinkError error) {
  Outcome o;
  o.error = error;
  return o;
}
}  // namespace

SessionLink::SessionLink(SessionLayer& layer, std::shared_ptr<LinkState> state)
    : layer_(layer), state_(std::move(state)) {
  std::lock_guard lock(state_->mu);
  remote_ = state_->remote;
  accept_data_ = state_->accept_data;
}

SessionLink::~SessionLink() { Close(kReasonAbort, {}, true); }

Outcome SessionLink::ClosedOutcome() const {
  if (state_->outcome.error != LinkError::kNone) return state_->outcome;
  return Failed(LinkError::kNotRunning);
}

Outcome SessionLink::Send(const Message& message, std::chrono::milliseconds timeout) {
  size_t cost = message.size() + kMessageOverhead;
  size_t limit = layer_.settings().send_limit;
  bool post = false;
  {
    std::unique_lock lock(state_->mu);
    auto room = [&] {
      return state_->phase != LinkState::Phase::kOpen || state_->send_cost == 0 || state_->send_cost + cost <= limit;
    };
    if (!WaitFor(lock, state_->cv, timeout, room)) return Failed(LinkError::kTimeout);
    if (state_->phase != LinkState::Phase::kOpen) return ClosedOutcome();
    state_->outbox.push_back(std::make_shared<const Bytes>(message));
    state_->send_cost += cost;
    post = !state_->flush_posted;
    state_->flush_posted = true;
  }
  if (post) {
    SessionLayer* layer = &layer_;
    layer_.RunOnLoop([layer, state = state_] { layer->FlushOutbox(*state); }, false);
  }
  return {};
}

Outcome SessionLink::Receive(Message& message, std::chrono::milliseconds timeout) {
  bool resume = false;
  {
    std::unique_lock lock(state_->mu);
    WaitFor(lock, state_->cv, timeout,
            [&] { return !state_->inbox.empty() || state_->phase != LinkState::Phase::kOpen; });
    if (state_->inbox.empty()) {
      return state_->phase == LinkState::Phase::kOpen ? Failed(LinkError::kTimeout) : ClosedOutcome();
    }
    // Messages that arrived before a disconnect are still delivered, in order.
    message = std::move(state_->inbox.front());
    state_->inbox.pop_front();
    state_->inbox_bytes -= message.size() + kMessageOverhead;
    if (state_->receive_busy && !state_->resume_posted && state_->phase == LinkState::Phase::kOpen &&
        state_->inbox_bytes < layer_.settings().receive_high_water / 2) {
      state_->resume_posted = resume = true;
    }
  }
  if (resume) {
    SessionLayer* layer = &layer_;
    layer_.RunOnLoop(
        [layer, state = state_] {
          bool busy;
          {
            std::lock_guard lock(state->mu);
            state->resume_posted = false;
            busy = state->inbox_bytes >= layer->settings().receive_high_water;
            if (!busy) state->receive_busy = false;
          }
          Connection* c = layer->nsp().Find(state->local);
          if (c && !busy) c->SetReceiveBusy(false, false, layer->now());
        },
        false);
  }
  return {};
}

void SessionLink::Close(uint16_t reason, const Message& data, bool abort) {
  {
    std::lock_guard lock(state_->mu);
    if (state_->phase != LinkState::Phase::kOpen) return;
    state_->phase = LinkState::Phase::kClosed;
    state_->outcome = Failed(LinkError::kDisconnected);
    state_->outcome.reason = reason;
    if (abort) {
      state_->outbox.clear();
      state_->interrupt_outbox.clear();
    }
  }
  state_->cv.notify_all();
  if (!layer_.running()) return;
  SessionLayer* layer = &layer_;
  layer_.RunOnLoop(
      [layer, state = state_, reason, data, abort] {
        if (!abort) layer->FlushOutbox(*state);
        Connection* c = layer->nsp().Find(state->local);
        if (!c) return;
        if (abort) c->Abort(reason, data, layer->now());
        else c->Disconnect(reason, data, layer->now());
      },
      false);
}

void SessionLink::Disconnect(uint16_t reason, const Message& data) { Close(reason, data, false); }
void SessionLink::Abort(uint16_t reason) { Close(reason, {}, true); }

Outcome SessionLink::SendInterrupt(const Message& data, std::chrono::milliseconds timeout) {
  if (data.size() > kMaxDataCtl) return Failed(LinkError::kBadArgument);
  {
    std::unique_lock lock(state_->mu);
    auto room = [&] {
      return state_->phase != LinkState::Phase::kOpen || state_->interrupt_outbox.size() < kInterruptOutboxLimit;
    };
    if (!WaitFor(lock, state_->cv, timeout, room)) return Failed(LinkError::kTimeout);
    if (state_->phase != LinkState::Phase::kOpen) return ClosedOutcome();
    state_->interrupt_outbox.push_back(data);
  }
  SessionLayer* layer = &layer_;
  layer_.RunOnLoop([layer, state = state_] { layer->FlushInterrupts(*state); }, false);
  return {};
}

Outcome SessionLink::ReceiveInterrupt(Message& data, std::chrono::milliseconds timeout) {
  bool grant = false;
  {
    std::unique_lock lock(state_->mu);
    WaitFor(lock, state_->cv, timeout,
            [&] { return !state_->interrupts.empty() || state_->phase != LinkState::Phase::kOpen; });
    if (state_->interrupts.empty()) {
      return state_->phase == LinkState::Phase::kOpen ? Failed(LinkError::kTimeout) : ClosedOutcome();
    }
    data = std::move(state_->interrupts.front());
    state_->interrupts.pop_front();
    grant = state_->interrupt_owed;
    state_->interrupt_owed = false;
  }
  if (grant) {
    SessionLayer* layer = &layer_;
    layer_.RunOnLoop(
        [layer, state = state_] {
          if (Connection* c = layer->nsp().Find(state->local)) c->GrantInterrupt(layer->now());
        },
        false);
  }
  return {};
}

SessionPendingConnect::SessionPendingConnect(SessionLayer& layer, std::shared_ptr<LinkState> state)
    : layer_(layer), state_(std::move(state)) {}

SessionPendingConnect::~SessionPendingConnect() {
  if (!answered_) Reject(kReasonObjectFailed);
}

std::unique_ptr<Link> SessionPendingConnect::Confirm(const Message& accept_data) {
  if (answered_ || accept_data.size() > kMaxDataCtl) return nullptr;
  answered_ = true;
  bool confirmed = false;
  SessionLayer* layer = &layer_;
  layer_.RunOnLoop(
      [layer, state = state_, &accept_data, &confirmed] {
        Connection* c = layer->nsp().Find(state->local);
        if (!c || c->state() != Connection::State::kConnectReceived) return;
        {
          std::lock_guard lock(state->mu);
          if (state->phase != LinkState::Phase::kPending) return;
          state->phase = LinkState::Phase::kOpen;
        }
        c->Accept(accept_data, layer->now());
        confirmed = true;
      },
      true);
  if (!confirmed) return nullptr;
  return std::make_unique<SessionLink>(layer_, state_);
}

void SessionPendingConnect::Reject(uint16_t reason, const Message& data) {
  if (answered_) return;
  answered_ = true;
  {
    std::lock_guard lock(state_->mu);
    if (state_->phase != LinkState::Phase::kPending) return;
    state_->phase = LinkState::Phase::kClosed;
  }
  if (!layer_.running()) return;
  SessionLayer* layer = &layer_;
  layer_.RunOnLoop(
      [layer, state = state_, reason, data] {
        Connection* c = layer->nsp().Find(state->local);
        if (c && c->state() == Connection::State::kConnectReceived) c->Reject(reason, data, layer->now());
      },
      false);
}

SessionListener::SessionListener(SessionLayer& layer, std::shared_ptr<ListenerState> state)
    : layer_(layer), state_(std::move(state)) {}

SessionListener::~SessionListener() { layer_.Unbind(*state_); }

std::unique_ptr<PendingConnect> SessionListener::Accept(std::chrono::milliseconds timeout, Outcome* outcome) {
  Outcome ignored;
  Outcome& out = outcome ? *outcome : ignored;
  out = Outcome{};
  auto deadline = Clock::now() + timeout;
  std::unique_lock lock(state_->mu);
  for (;;) {
    while (!state_->pending.empty()) {
      auto next = std::move(state_->pending.front());
      state_->pending.pop_front();
      bool live;
      {
        std::lock_guard l(next->mu);
        live = next->phase == LinkState::Phase::kPending;
      }
      if (live) return std::make_unique<SessionPendingConnect>(layer_, std::move(next));
    }
    if (state_->closed) {
      out.error = LinkError::kNotRunning;
      return nullptr;
    }
    if (Clock::now() >= deadline || (state_->cv.wait_until(lock, deadline) == std::cv_status::timeout &&
                                     state_->pending.empty())) {
      out.error = LinkError::kTimeout;
      return nullptr;
    }
  }
}

}  // namespace decnet
