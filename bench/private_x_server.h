// A private X server for the whole-program benchmarks: Xvfb on a display number it
// picks itself, no TCP, killed when this object goes (and by the kernel when this
// process dies first). Each measured program runs in a child process under a time
// limit, so that a hang or a crash still ends the run and leaves the caller to clean up.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>

namespace bench {

class PrivateXServer {
 public:
  // Starts Xvfb with one 1280x900x24 screen and waits up to 10 s for it to take a
  // display; on failure running() is false and why() says why.
  PrivateXServer();
  ~PrivateXServer();
  PrivateXServer(const PrivateXServer&) = delete;
  PrivateXServer& operator=(const PrivateXServer&) = delete;

  bool running() const { return pid_ > 0 && !display_.empty(); }
  const std::string& why() const { return why_; }
  const std::string& display() const { return display_; }  // ":N"

 private:
  void Stop();
  pid_t pid_ = -1;
  std::string display_;
  std::string why_;
};

// Runs `body` in a child process whose Qt uses the xcb platform on `server`, and
// returns the exit code `body` returned; 124 when the child outlived `limitSeconds`
// (it is killed), 128 + the signal when it died of one. stdout is flushed in the child.
int RunUnder(const PrivateXServer& server, int limitSeconds, const std::function<int()>& body);

}  // namespace bench
