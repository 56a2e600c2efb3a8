// The test service programs as shell scripts: nothing to build, and each one the
// process the service control layer tracks (the script execs its sleep).
#include "test_services.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "sandbox.h"

namespace pellam::test {

void WriteTestService(const std::string& path, TestService kind) {
  std::string script = "#!/bin/sh\n";
  if (kind == TestService::kIgnoresStop) script += "trap '' TERM\n";
  script += "echo \"$$ $* root=$PELLAM_ROOT\" > \"$0.started.new\" && mv \"$0.started.new\" \"$0.started\"\n";
  script += kind == TestService::kExitsAtOnce ? "exit 3\n" : "exec sleep 3600\n";
  WriteTextFile(path, script);
  ::chmod(path.c_str(), 0755);
}

std::string StartNote(const std::string& path) {
  std::string note = ReadTextFile(path + ".started");
  while (!note.empty() && note.back() == '\n') note.pop_back();
  return note;
}

pid_t StartedPid(const std::string& path) {
  return static_cast<pid_t>(std::atol(StartNote(path).c_str()));
}

bool ProcessLives(pid_t pid) {
  if (pid <= 0) return false;
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const auto paren = text.rfind(')');
  if (paren == std::string::npos || paren + 2 >= text.size()) return false;
  const char state = text[paren + 2];
  return state != 'Z' && state != 'X';
}

bool WaitFor(const std::function<bool()>& condition, unsigned timeout_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return condition();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

void KillTestService(const std::string& path) {
  const pid_t pid = StartedPid(path);
  // Only the test program's own sleep: an id noted long ago may belong to another now.
  const std::string comm = ReadTextFile("/proc/" + std::to_string(pid) + "/comm");
  if (ProcessLives(pid) && comm == "sleep\n") ::kill(pid, SIGKILL);
}

}  // namespace pellam::test
