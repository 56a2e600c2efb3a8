// The MAIL-11 receiver: object 27 bound on the service's DECnet node, and one thread
// per incoming message, up to ReceiveThreadLimit at once (0: none, so every connect is
// turned away as busy). A connect beyond the limit is rejected with resources, which a
// sender takes as "try again later". Binding is retried until it succeeds. Stop ends
// every conversation promptly (their links aborted, their temporary files removed)
// and returns once no thread of the receiver is left.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

#include "decnet/endpoint.h"
#include "event_log.h"
#include "job.h"

namespace pellam::service {

class MailReceiver {
 public:
  struct Limits {
    std::chrono::milliseconds timeout{600000};  // every wait for the peer (NetReceiveTimeout)
    uint32_t threads = 8;                        // conversations at once (ReceiveThreadLimit)
    std::chrono::milliseconds bind_retry{5000};  // between attempts to bind object 27
  };
  // The limits of the system profile.
  static Limits LimitsOf(const MailSystemProfile& system);

  MailReceiver(const ServiceSettings& settings, const EventLog& log, Limits limits);
  ~MailReceiver() { Stop(); }
  MailReceiver(const MailReceiver&) = delete;
  MailReceiver& operator=(const MailReceiver&) = delete;

  // Starts the receiving thread; nothing when the settings carry no DECnet node.
  void Start();
  // Idempotent.
  void Stop();

  bool ready() const { return ready_.load(); }        // object 27 is bound
  size_t conversations() const { return active_.load(); }

 private:
  struct Conversation {
    std::thread thread;
    std::atomic<bool> done{false};
  };

  void Run();
  void Admit(std::unique_ptr<decnet::PendingConnect> pending);
  void Converse(std::unique_ptr<decnet::Link> link, bool cc, const std::string& peer, Conversation* self);
  void Reap(bool all);
  std::string PeerName(decnet::NodeAddress address) const;
  void Pause(std::chrono::milliseconds how_long);

  const ServiceSettings& settings_;
  const EventLog& log_;
  const Limits limits_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> ready_{false};
  std::atomic<size_t> active_{0};
  std::mutex mutex_;  // guards the pause's wake-up
  std::condition_variable wake_;
  std::thread thread_;
  std::list<Conversation> conversations_;  // the receiving thread's alone
};

}  // namespace pellam::service
