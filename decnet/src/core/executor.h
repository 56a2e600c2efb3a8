// Work handed to the network thread. The event loop implements it; the session layer
// and the blocking endpoint API post their work through it, and tests may run the
// work inline with a fake.
#pragma once

#include <functional>

namespace decnet {

class Executor {
 public:
  virtual ~Executor() = default;
  // Queues `work` to run on the network thread, in posting order. Any thread may
  // call it; it wakes the loop. Work posted after the loop stopped is dropped.
  virtual void Post(std::function<void()> work) = 0;
  virtual bool InLoopThread() const = 0;
};

}  // namespace decnet
