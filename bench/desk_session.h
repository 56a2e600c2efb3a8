// The mail client as pelldesk starts it (its application object's start-up: main
// frame, folder-tree window, new-mail monitor, default sound), for benchmarks that
// drive it on an X server. Message boxes are printed instead of shown, so that nothing
// waits for a person; the end of the run is the client's own.
#pragma once

#include <functional>

#include "app/mail_app.h"

namespace bench {

class DeskSession {
 public:
  DeskSession();
  ~DeskSession();  // closes the main frame and runs the end of the run
  DeskSession(const DeskSession&) = delete;
  DeskSession& operator=(const DeskSession&) = delete;

  // Start-up, then events until the main window is on the screen and the splash
  // window has gone; false (with the reason on stderr) otherwise.
  bool Start();
  pelldesk::CMailApp& app() { return app_; }

 private:
  pelldesk::CMailApp app_;
  bool started_ = false;
};

// Processes events until `done` holds or `timeoutMs` pass; returns `done()`.
bool ProcessEventsUntil(const std::function<bool()>& done, int timeoutMs);

}  // namespace bench
