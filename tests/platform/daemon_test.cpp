// A service's start-up: the detached grandchild's surroundings, the stop signals turned
// into a flag and an event, and failures by injection. Each case that changes the
// process runs in a child of its own.
#include "platform/daemon.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/errors.h"
#include "platform/fault.h"
#include "sandbox.h"

namespace {

using pellam::test::ReadTextFile;
using pellam::test::RunInChild;
using pellam::test::Sandbox;
using namespace platform;

std::string LinkOf(const char* path) {
  std::error_code error;
  return std::filesystem::read_symlink(path, error).string();
}

TEST(Daemon, TheDetachedProcessHasNoTerminalSessionOrDirectoryOfTheCallers) {
  Sandbox box;
  const std::string report = box.Path("report"), done = box.Path("done");
  const pid_t caller_session = ::getsid(0);
  const int rc = RunInChild([&] {
    if (DetachFromTerminal() != 0) return 1;
    // The grandchild: its facts, then a second file to say they are complete.
    std::ofstream(report) << (::getsid(0) != caller_session) << (::getsid(0) != ::getpid())
                          << (LinkOf("/proc/self/cwd") == "/") << (LinkOf("/proc/self/fd/0") == "/dev/null")
                          << (LinkOf("/proc/self/fd/1") == "/dev/null") << (LinkOf("/proc/self/fd/2") == "/dev/null");
    std::ofstream(done) << "done";
    return 0;
  });
  EXPECT_EQ(rc, 0) << "the caller's process ends with 0 once its child is made";
  for (int waited = 0; waited < 500 && ReadTextFile(done) != "done"; ++waited) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  // A new session; not its leader, so no terminal can become its own; "/"; /dev/null.
  EXPECT_EQ(ReadTextFile(report), "111111");
}

TEST(Daemon, AFailedDetachReturnsInTheCallersProcess) {
  fault::Scope scope;
  fault::FailNth(fault::Op::Process, 1, ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(DetachFromTerminal(), ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
}

TEST(Daemon, StopSignalsSetTheFlagAndTheEvent) {
  for (const int sig : {SIGTERM, SIGINT}) {
    const int rc = RunInChild([sig] {
      static std::atomic<bool> stop{false};
      static Event event;
      if (event.Create() != 0 || AnswerStopSignals(&stop, &event) != 0) return 1;
      const int handles[] = {event.handle()};
      if (stop.load() || WaitForObjects(handles, 1, 0) != kWaitTimeout) return 2;
      ::raise(sig);
      if (!stop.load() || WaitForObjects(handles, 1, 0) != 0) return 3;
      ::raise(SIGPIPE);  // ignored: the process goes on
      return 0;
    });
    EXPECT_EQ(rc, 0) << "signal " << sig;
  }
}

TEST(Daemon, StopSignalsNeedACreatedEventAndFailByInjection) {
  const int rc = RunInChild([] {
    static std::atomic<bool> stop{false};
    static Event event;
    if (AnswerStopSignals(&stop, &event) != ERROR_INVALID_PARAMETER) return 1;
    if (AnswerStopSignals(nullptr, &event) != ERROR_INVALID_PARAMETER) return 2;
    if (event.Create() != 0) return 3;
    fault::Scope scope;
    fault::FailNth(fault::Op::Process, 1, ERROR_IO_DEVICE);
    if (AnswerStopSignals(&stop, &event) != ERROR_IO_DEVICE || GetLastError() != ERROR_IO_DEVICE) return 4;
    struct sigaction now{};
    ::sigaction(SIGTERM, nullptr, &now);
    return now.sa_handler == SIG_DFL ? 0 : 5;  // nothing installed by the failed calls
  });
  EXPECT_EQ(rc, 0) << "the first check that went wrong";
}

}  // namespace
