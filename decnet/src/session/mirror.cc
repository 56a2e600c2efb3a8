// MIRROR (see mirror.h). Waits are short so that the destructor is never held up
// for long by an idle link or a quiet listener.
#include "session/mirror.h"

namespace decnet {
namespace {
constexpr std::chrono::milliseconds kPoll{100};
// The accept data gives the longest loop message we take, as a 16-bit number.
const Message kMirrorAcceptData = {0xff, 0xff};
}  // namespace

MirrorServer::MirrorServer(std::unique_ptr<Listener> listener, size_t max_links)
    : listener_(std::move(listener)), max_links_(max_links) {
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

MirrorServer::~MirrorServer() {
  stop_ = true;
  acceptor_.join();
  for (Worker& w : workers_) w.thread.join();
  listener_.reset();
}

Message MirrorServer::Answer(const Message& request) {
  if (request.empty() || request[0] != 0) return Message{0xff};
  Message reply = request;
  reply[0] = 0x01;
  return reply;
}

void MirrorServer::ReapFinished() {
  for (auto it = workers_.begin(); it != workers_.end();) {
    if (it->done) {
      it->thread.join();
      it = workers_.erase(it);
    } else {
      ++it;
    }
  }
}

void MirrorServer::AcceptLoop() {
  while (!stop_) {
    Outcome outcome;
    std::unique_ptr<PendingConnect> pending = listener_->Accept(kPoll, &outcome);
    ReapFinished();
    if (!pending) {
      if (outcome.error == LinkError::kNotRunning) std::this_thread::sleep_for(kPoll);
      continue;
    }
    if (workers_.size() >= max_links_) {
      pending->Reject(kReasonResources);
      continue;
    }
    std::unique_ptr<Link> link = pending->Confirm(kMirrorAcceptData);
    if (!link) continue;
    Worker& w = workers_.emplace_back();
    w.thread = std::thread([this, &w, owned = std::shared_ptr<Link>(std::move(link))] {
      Serve(*owned);
      w.done = true;
    });
  }
}

void MirrorServer::Serve(Link& link) {
  Message request;
  while (!stop_) {
    Outcome got = link.Receive(request, kPoll);
    if (got.error == LinkError::kTimeout) continue;
    if (!got) return;
    if (!link.Send(Answer(request), std::chrono::seconds(5))) return;
  }
}

}  // namespace decnet
