// Tiny service programs for the tests of the service control layer and of setup:
// shell scripts that note each start (their pid, arguments and sandbox root) in
// "<program>.started" and then run until SIGTERM, end at once, or ignore SIGTERM.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>

namespace pellam::test {

enum class TestService {
  kRunsUntilStopped,  // sleeps until SIGTERM ends it
  kExitsAtOnce,       // notes its start and exits with status 3
  kIgnoresStop,       // ignores SIGTERM and sleeps on
};

// Writes the program at `path` (mode 0755), creating parent directories.
void WriteTestService(const std::string& path, TestService kind);

// What the program at `path` noted at its last start ("" before any), without the
// line end: "<pid> <arguments> root=<PELLAM_ROOT>".
std::string StartNote(const std::string& path);

// The pid of the last start of the program at `path`, or 0.
pid_t StartedPid(const std::string& path);

// True when `pid` is a live process (a zombie has ended).
bool ProcessLives(pid_t pid);

// Polls `condition` every 20 ms for up to `timeout_ms`; its last result.
bool WaitFor(const std::function<bool()>& condition, unsigned timeout_ms);

// Ends the last started process of the program at `path` with SIGKILL, if it lives:
// cleanup for tests, so that no service outlives them.
void KillTestService(const std::string& path);

}  // namespace pellam::test
