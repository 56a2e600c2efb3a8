// Session control's network side and its blocking entry points (see session_layer.h).
// Rule for every lock here: nothing is posted and no NSP call is made while a
// LinkState or ListenerState mutex is held, so an executor that runs work inline
// (as tests do) cannot deadlock.
#include "session/session_layer.h"

#include <algorithm>
#include <cctype>
#include <condition_variable>

#include "session/endpoints.h"
#include "session/link_state.h"

namespace decnet {
namespace {

NspSettings NspSettingsFrom(const SessionSettings& s) {
  NspSettings n = s.nsp;
  n.max_links = s.max_links;
  n.segment_size = s.segment_size;
  return n;
}

std::string Upper(std::string text) {
  for (char& ch : text) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  return text;
}

Outcome OutcomeFor(CloseKind kind, uint16_t reason, ByteSpan data) {
  Outcome o;
  o.reason = reason;
  o.data.assign(data.begin(), data.end());
  switch (kind) {
    case CloseKind::kRejected: o.error = LinkError::kRejected; break;
    case CloseKind::kNoResources: o.error = LinkError::kNoResources; break;
    case CloseKind::kDisconnected: o.error = LinkError::kDisconnected; break;
    case CloseKind::kUnreachable: o.error = LinkError::kUnreachable; break;
    case CloseKind::kTimeout: o.error = LinkError::kTimeout; break;
    case CloseKind::kLocal: o.error = LinkError::kDisconnected; break;
  }
  return o;
}

}  // namespace

SessionLayer::SessionLayer(RoutingPort& routing, Executor& loop, const NodeDatabase& /*nodes*/,
                           SessionSettings settings)
    : loop_(loop), settings_(std::move(settings)), nsp_(routing, *this, NspSettingsFrom(settings_)) {
  // Between "hold back" and "drop" there must be room for what a peer already had in
  // flight when it heard us, or a well-behaved peer would lose segments and time out.
  size_t margin = 64 * (settings_.segment_size + kMessageOverhead);
  settings_.receive_limit = std::max(settings_.receive_limit, settings_.receive_high_water + margin);
  now_ = settings_.clock();
}

SessionLayer::~SessionLayer() = default;

void SessionLayer::Begin() { now_ = settings_.clock(); }
void SessionLayer::End() { nsp_.Settle(now_); }

void SessionLayer::OnNspMessage(NodeAddress source, ByteSpan nsp_message, bool returned) {
  Begin();
  nsp_.Receive(source, nsp_message, returned, now_);
  End();
}

std::optional<TimePoint> SessionLayer::NextDeadline() const { return nsp_.NextDeadline(); }

void SessionLayer::Tick(TimePoint now) {
  now_ = now;
  nsp_.Tick(now);
  End();
}

void SessionLayer::AddCounters(Counters& counters) const {
  const NspCounters& n = nsp_.counters();
  counters.malformed += n.malformed;
  counters.connects_sent += n.connects_sent;
  counters.connects_received += n.connects_received;
  counters.connects_refused += n.connects_refused;
  counters.retransmissions += n.retransmissions;
}

size_t SessionLayer::active_links() const { return nsp_.size(); }

bool SessionLayer::RunOnLoop(std::function<void()> work, bool wait) {
  if (loop_.InLoopThread()) {
    Begin();
    work();
    End();
    return true;
  }
  if (!wait) {
    loop_.Post([this, work = std::move(work)] {
      Begin();
      work();
      End();
    });
    return true;
  }
  struct Done {
    std::mutex mu;
    std::condition_variable cv;
    bool finished = false, ran = false;
    void Finish(bool did_run) {
      std::lock_guard lock(mu);
      if (finished) return;
      finished = true;
      ran = did_run;
      cv.notify_all();
    }
  };
  // Fires when the executor drops the work unrun (a stopped loop), so nobody waits forever.
  struct DropGuard {
    std::shared_ptr<Done> done;
    ~DropGuard() { done->Finish(false); }
  };
  auto done = std::make_shared<Done>();
  auto guard = std::make_shared<DropGuard>();
  guard->done = done;
  loop_.Post([this, work = std::move(work), guard, done] {
    Begin();
    work();
    End();
    done->Finish(true);
  });
  guard.reset();
  std::unique_lock lock(done->mu);
  done->cv.wait(lock, [&] { return done->finished; });
  return done->ran;
}

std::shared_ptr<LinkState> SessionLayer::StateOf(Connection& c) {
  auto it = links_.find(c.local_address());
  return it == links_.end() ? nullptr : it->second;
}

// --- blocking entry points ---

std::unique_ptr<Link> SessionLayer::Connect(const ConnectRequest& request, std::chrono::milliseconds timeout,
                                            Outcome* outcome) {
  Outcome ignored;
  Outcome& out = outcome ? *outcome : ignored;
  out = Outcome{};
  if (!running_) {
    out.error = LinkError::kNotRunning;
    return nullptr;
  }
  Bytes data;
  if (!request.node.valid() || !EncodeConnectData(MakeConnectData(request), data)) {
    out.error = LinkError::kBadArgument;
    return nullptr;
  }
  auto state = std::make_shared<LinkState>();
  state->remote = request.node;
  auto deadline = Clock::now() + timeout;
  RunOnLoop(
      [this, state, data = std::move(data)] {
        Connection* c = running_ ? nsp_.Connect(state->remote, data, now_) : nullptr;
        if (c && c->state() != Connection::State::kClosed) {
          state->local = c->local_address();
          links_[c->local_address()] = state;
          return;
        }
        {
          std::lock_guard lock(state->mu);
          state->phase = LinkState::Phase::kClosed;
          // A link closed before it was ours to watch: routing had nowhere to send.
          state->outcome.error = !running_ ? LinkError::kNotRunning
                                 : c      ? LinkError::kUnreachable
                                          : LinkError::kNoResources;
          if (c) state->outcome.reason = kReasonUnreachable;
        }
        state->cv.notify_all();
      },
      false);
  std::unique_lock lock(state->mu);
  bool answered = state->cv.wait_until(lock, deadline, [&] { return state->phase != LinkState::Phase::kConnecting; });
  if (!answered) {
    state->phase = LinkState::Phase::kClosed;
    state->outcome.error = LinkError::kTimeout;
    lock.unlock();
    RunOnLoop(
        [this, state] {
          if (Connection* c = nsp_.Find(state->local)) c->Abort(kReasonAbort, {}, now_);
        },
        false);
    out.error = LinkError::kTimeout;
    return nullptr;
  }
  if (state->phase != LinkState::Phase::kOpen) {
    out = state->outcome;
    return nullptr;
  }
  lock.unlock();
  return std::make_unique<SessionLink>(*this, state);
}

std::unique_ptr<Listener> SessionLayer::Bind(uint8_t object, const std::string& name, Outcome* outcome) {
  Outcome ignored;
  Outcome& out = outcome ? *outcome : ignored;
  out = Outcome{};
  if (!running_) {
    out.error = LinkError::kNotRunning;
    return nullptr;
  }
  std::string upper = Upper(name);
  if ((object == 0 && upper.empty()) || upper.size() > kMaxEndUserName) {
    out.error = LinkError::kBadArgument;
    return nullptr;
  }
  std::lock_guard lock(objects_mu_);
  if ((object && by_number_.count(object)) || (!upper.empty() && by_name_.count(upper))) {
    out.error = LinkError::kBadArgument;
    return nullptr;
  }
  auto listener = std::make_shared<ListenerState>();
  listener->object = object;
  listener->name = upper;
  if (object) by_number_[object] = listener;
  if (!upper.empty()) by_name_[upper] = listener;
  return std::make_unique<SessionListener>(*this, listener);
}

void SessionLayer::Unbind(ListenerState& listener) {
  {
    std::lock_guard lock(objects_mu_);
    auto n = by_number_.find(listener.object);
    if (n != by_number_.end() && n->second.get() == &listener) by_number_.erase(n);
    auto m = by_name_.find(listener.name);
    if (m != by_name_.end() && m->second.get() == &listener) by_name_.erase(m);
  }
  std::deque<std::shared_ptr<LinkState>> pending;
  {
    std::lock_guard lock(listener.mu);
    listener.closed = true;
    pending.swap(listener.pending);
  }
  listener.cv.notify_all();
  if (pending.empty() || !running_) return;
  RunOnLoop(
      [this, pending = std::move(pending)] {
        for (const auto& state : pending) {
          if (Connection* c = nsp_.Find(state->local)) c->Reject(kReasonObjectFailed, {}, now_);
        }
      },
      false);
}

void SessionLayer::Shutdown() {
  if (!running_.exchange(false)) return;
  auto work = [this] {
    for (auto& [address, state] : links_) {
      {
        std::lock_guard lock(state->mu);
        state->phase = LinkState::Phase::kClosed;
        state->outcome = Outcome{};
        state->outcome.error = LinkError::kNotRunning;
      }
      state->cv.notify_all();
    }
    links_.clear();
    nsp_.AbortAll(kReasonAbort);
  };
  // A loop that has already stopped runs nothing more, so the work is safe here.
  if (!RunOnLoop(work, true)) work();
  std::lock_guard lock(objects_mu_);
  auto close = [](ListenerState& listener) {
    std::lock_guard l(listener.mu);
    listener.closed = true;
    listener.cv.notify_all();
  };
  for (auto& [number, listener] : by_number_) close(*listener);
  for (auto& [name, listener] : by_name_) close(*listener);
}

// --- NSP events ---

void SessionLayer::RejectIncoming(Connection& c, uint16_t reason) {
  ++nsp_.mutable_counters().connects_refused;
  c.Reject(reason, {}, now_);
}

void SessionLayer::OnConnectInitiate(Connection& c, ByteSpan session_data) {
  std::optional<ConnectData> data = DecodeConnectData(session_data);
  if (!data) return RejectIncoming(c, kReasonBadFormat);
  std::shared_ptr<ListenerState> listener;
  {
    std::lock_guard lock(objects_mu_);
    if (data->destination.format == 0) {
      auto it = by_number_.find(data->destination.object);
      if (it != by_number_.end()) listener = it->second;
    } else {
      auto it = by_name_.find(Upper(data->destination.name));
      if (it != by_name_.end()) listener = it->second;
    }
  }
  if (!listener || !running_) return RejectIncoming(c, kReasonNoSuchObject);
  auto state = std::make_shared<LinkState>();
  state->phase = LinkState::Phase::kPending;
  state->local = c.local_address();
  state->remote = c.remote_node();
  state->connect = std::move(data);
  {
    std::lock_guard lock(listener->mu);
    auto& q = listener->pending;
    q.erase(std::remove_if(q.begin(), q.end(),
                           [](const std::shared_ptr<LinkState>& s) {
                             std::lock_guard l(s->mu);
                             return s->phase == LinkState::Phase::kClosed;
                           }),
            q.end());
    if (listener->closed) {
      state.reset();
    } else if (q.size() >= settings_.listen_backlog) {
      state->phase = LinkState::Phase::kClosed;
    } else {
      q.push_back(state);
    }
  }
  if (!state) return RejectIncoming(c, kReasonNoSuchObject);
  if (state->phase == LinkState::Phase::kClosed) return RejectIncoming(c, kReasonResources);
  links_[c.local_address()] = state;
  listener->cv.notify_one();
}

void SessionLayer::OnAccepted(Connection& c, ByteSpan data_ctl) {
  auto state = StateOf(c);
  if (!state) return;
  {
    std::lock_guard lock(state->mu);
    if (state->phase != LinkState::Phase::kConnecting) return;  // the caller gave up; its abort follows
    state->accept_data.assign(data_ctl.begin(), data_ctl.end());
    state->phase = LinkState::Phase::kOpen;
  }
  state->cv.notify_all();
}

void SessionLayer::OnData(Connection& c, Bytes&& message) {
  auto state = StateOf(c);
  if (!state) return;
  bool busy = false, drop = false;
  {
    std::lock_guard lock(state->mu);
    if (state->phase == LinkState::Phase::kClosed) return;  // the user has let go of it
    state->inbox_bytes += message.size() + kMessageOverhead;
    state->inbox.push_back(std::move(message));
    busy = state->inbox_bytes >= settings_.receive_high_water;
    drop = state->inbox_bytes >= settings_.receive_limit;
    if (busy) state->receive_busy = true;
  }
  state->cv.notify_all();
  if (busy) c.SetReceiveBusy(true, drop, now_);
}

bool SessionLayer::OnInterrupt(Connection& c, ByteSpan data) {
  auto state = StateOf(c);
  if (!state) return true;
  bool grant = true;
  {
    std::lock_guard lock(state->mu);
    if (state->phase == LinkState::Phase::kClosed) return true;
    state->interrupts.emplace_back(data.begin(), data.end());
    if (state->interrupts.size() >= settings_.interrupt_queue) {
      state->interrupt_owed = true;
      grant = false;
    }
  }
  state->cv.notify_all();
  return grant;
}

void SessionLayer::OnSendProgress(Connection& c, size_t messages, size_t bytes) {
  auto state = StateOf(c);
  if (!state) return;
  {
    std::lock_guard lock(state->mu);
    size_t cost = bytes + messages * kMessageOverhead;
    state->send_cost -= std::min(cost, state->send_cost);
  }
  state->cv.notify_all();
}

void SessionLayer::OnInterruptCredit(Connection& c) {
  if (auto state = StateOf(c)) FlushInterrupts(*state);
}

void SessionLayer::OnClosed(Connection& c, CloseKind kind, uint16_t reason, ByteSpan data) {
  auto it = links_.find(c.local_address());
  if (it == links_.end()) return;
  auto state = it->second;
  links_.erase(it);
  {
    std::lock_guard lock(state->mu);
    if (state->phase != LinkState::Phase::kClosed) {
      state->outcome = OutcomeFor(kind, reason, data);
      state->phase = LinkState::Phase::kClosed;
    }
  }
  state->cv.notify_all();
}

// --- work posted by the endpoints ---

void SessionLayer::FlushOutbox(LinkState& state) {
  // The batch vector and the outbox trade buffers, so neither is allocated again.
  std::vector<std::shared_ptr<const Bytes>>& batch = flush_batch_;
  {
    std::lock_guard lock(state.mu);
    batch.swap(state.outbox);
    state.flush_posted = false;
  }
  Connection* c = nsp_.Find(state.local);
  for (auto& message : batch) {
    if (c && c->SendMessage(message, now_)) continue;
    std::lock_guard lock(state.mu);
    state.send_cost -= std::min(message->size() + kMessageOverhead, state.send_cost);
  }
  batch.clear();
}

void SessionLayer::FlushInterrupts(LinkState& state) {
  Connection* c = nsp_.Find(state.local);
  for (;;) {
    Message next;
    {
      std::lock_guard lock(state.mu);
      if (state.interrupt_outbox.empty()) break;
      next = std::move(state.interrupt_outbox.front());
      state.interrupt_outbox.pop_front();
    }
    if (!c) continue;
    if (!c->SendInterrupt(next, now_)) {
      std::lock_guard lock(state.mu);
      state.interrupt_outbox.push_front(std::move(next));
      break;
    }
  }
  state.cv.notify_all();
}

}  // namespace decnet
