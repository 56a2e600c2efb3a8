// The MIRROR object (25), which every DECnet node answers: a loop message is 0x00
// followed by data and comes back as 0x01 followed by the same data; anything else
// gets the single failure byte 0xFF. It serves over any bound Listener, a few links
// at a time (more are rejected with "resources"), and stops in its destructor.
#pragma once

#include <atomic>
#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

#include "decnet/endpoint.h"

namespace decnet {

constexpr uint8_t kMirrorObject = 25;

class MirrorServer {
 public:
  explicit MirrorServer(std::unique_ptr<Listener> listener, size_t max_links = 8);
  ~MirrorServer();  // stops accepting, ends its links, joins its threads
  MirrorServer(const MirrorServer&) = delete;
  MirrorServer& operator=(const MirrorServer&) = delete;

  // The answer to one loop message (exposed for tests).
  static Message Answer(const Message& request);

 private:
  struct Worker {
    std::thread thread;
    std::atomic<bool> done{false};
  };
  void AcceptLoop();
  void Serve(Link& link);
  void ReapFinished();

  std::unique_ptr<Listener> listener_;
  size_t max_links_;
  std::atomic<bool> stop_{false};
  std::mutex mu_;
  std::list<Worker> workers_;
  std::thread acceptor_;
};

}  // namespace decnet
