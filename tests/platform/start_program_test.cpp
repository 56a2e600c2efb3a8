// Starting a detached program: found along PATH, run in its directory with its
// arguments, left for nobody to reap, and every reason it cannot start told apart.
#include "platform/start_program.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/errors.h"
#include "platform/fault.h"
#include "sandbox.h"

namespace {

using pellam::test::ReadTextFile;
using pellam::test::Sandbox;
using pellam::test::WriteTextFile;
using namespace platform;

// A sandbox with bin/ first on PATH (restored afterwards).
struct ProgramBox {
  Sandbox box;
  std::string saved_path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
  ProgramBox() {
    std::filesystem::create_directories(box.Path("bin"));
    std::filesystem::create_directories(box.Path("work"));
    ::setenv("PATH", (box.Path("bin") + ":" + saved_path).c_str(), 1);
  }
  ~ProgramBox() { ::setenv("PATH", saved_path.c_str(), 1); }
  std::string Script(const std::string& name, const std::string& body, unsigned mode = 0755) {
    const std::string path = box.Path("bin/" + name);
    WriteTextFile(path, "#!/bin/sh\n" + body + "\n");
    ::chmod(path.c_str(), mode);
    return path;
  }
};

bool WaitForText(const std::string& path, const std::string& want) {
  for (int waited = 0; waited < 500; ++waited) {
    if (ReadTextFile(path) == want) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

TEST(StartProgram, RunsTheProgramFoundOnPathInItsDirectoryAndLeavesNoChild) {
  ProgramBox p;
  const std::string log = p.box.Path("log");
  p.Script("note-start", "echo \"$(pwd) $1 $2\" > " + log);
  ASSERT_EQ(StartDetachedProgram({"note-start", "one", "two words"}, p.box.Path("work"), 0), 0u);
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_TRUE(WaitForText(log, p.box.Path("work") + " one two words\n")) << ReadTextFile(log);
  int status = 0;
  EXPECT_EQ(::waitpid(-1, &status, WNOHANG), -1) << "a child was left to reap";
  EXPECT_EQ(errno, ECHILD);
}

TEST(StartProgram, TellsEveryReasonItCannotStart) {
  ProgramBox p;
  p.Script("not-runnable", "exit 0", 0644);
  const std::string refusing = p.Script("refusing", "exit 3");
  const std::string runs = p.Script("runs", "exit 0");
  struct Row {
    const char* what;
    std::vector<std::string> command;
    std::string directory;
    unsigned watch_ms;
    uint32_t want;
  } rows[] = {
      {"no such program on PATH", {"pellam-no-such-program"}, p.box.Path("work"), 0, ERROR_FILE_NOT_FOUND},
      {"only a file that may not run", {"not-runnable"}, p.box.Path("work"), 0, ERROR_ACCESS_DENIED},
      {"a path that may not run", {p.box.Path("bin/not-runnable")}, p.box.Path("work"), 0, ERROR_ACCESS_DENIED},
      {"a missing path", {p.box.Path("bin/missing")}, p.box.Path("work"), 0, ERROR_FILE_NOT_FOUND},
      {"a missing directory", {runs}, p.box.Path("nodir/work"), 0, ERROR_PATH_NOT_FOUND},
      {"no command", {}, p.box.Path("work"), 0, ERROR_INVALID_PARAMETER},
      {"an empty name", {""}, p.box.Path("work"), 0, ERROR_FILE_NOT_FOUND},
      {"gives up at once, watched", {refusing}, p.box.Path("work"), 2000, ERROR_NOT_SUPPORTED},
      {"gives up at once, not watched", {refusing}, p.box.Path("work"), 0, 0},
      {"ends well, watched", {runs}, p.box.Path("work"), 2000, 0},
  };
  for (const Row& row : rows) {
    SetLastError(99);
    EXPECT_EQ(StartDetachedProgram(row.command, row.directory, row.watch_ms), row.want) << row.what;
    EXPECT_EQ(GetLastError(), row.want) << row.what;
  }
}

TEST(StartProgram, FailsByInjectionWithoutStartingAnything) {
  ProgramBox p;
  const std::string log = p.box.Path("log");
  p.Script("note-start", "echo started > " + log);
  fault::Scope scope;
  fault::FailNth(fault::Op::Process, 1, ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(StartDetachedProgram({"note-start"}, p.box.Path("work"), 0), ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
  ASSERT_EQ(StartDetachedProgram({"note-start"}, p.box.Path("work"), 0), 0u) << "once the fault has passed";
  EXPECT_TRUE(WaitForText(log, "started\n"));
}

}  // namespace
