// The service's DECnet control socket. One thread accepts; each client gets a thread
// of its own, at most kMaxClients at once (more are told "busy"). A request must
// arrive within a short time and each answer line must be taken within a short time,
// so a client that stalls costs its own thread only, never the service.
#pragma once

#include <atomic>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <thread>

#include "event_log.h"
#include "ncp_commands.h"
#include "ncp_protocol.h"
#include "platform/events.h"

namespace pellam::service {

class ControlServer {
 public:
  using Handler = std::function<void(const ncp::Request&, const LineSink&)>;
  static constexpr size_t kMaxClients = 8;
  static constexpr int kRequestWaitMs = 2000;
  static constexpr int kLineWaitMs = 2000;

  ControlServer(const EventLog& log, Handler handler) : log_(log), handler_(std::move(handler)) {}
  ~ControlServer() { Stop(); }
  ControlServer(const ControlServer&) = delete;
  ControlServer& operator=(const ControlServer&) = delete;

  // Listens on `directory`/ncp::kSocketName; false (logged) when it cannot.
  bool Start(const std::string& directory);
  // Stops accepting, wakes every client thread and waits for them. Idempotent.
  void Stop();

  // Set while the server stops; requests that take a while watch it.
  const std::atomic<bool>& stopping() const { return stop_; }

 private:
  struct Client {
    int fd = -1;
    std::thread thread;
    std::atomic<bool> done{false};
  };
  void AcceptLoop();
  void Serve(Client& client);
  void Reap(bool all);

  const EventLog& log_;
  Handler handler_;
  int listener_ = -1;
  platform::Event wake_;  // set to stop the acceptor
  std::string path_;
  std::atomic<bool> stop_{false};
  std::thread acceptor_;
  std::mutex clients_mutex_;
  std::list<Client> clients_;
};

}  // namespace pellam::service
