// The event log inside a sandbox: its file and line format, echoes, lines of several
// processes kept whole, links and FIFOs refused, failures by injection, and a child
// whose descriptor number now holds another file.
#include "platform/system_log.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/close_range.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "platform/errors.h"
#include "platform/fault.h"
#include "sandbox.h"

namespace {

using pellam::test::ReadTextFile;
using pellam::test::Sandbox;
using namespace platform;

// A sandbox whose log is closed again, whatever the test did.
struct LogBox {
  Sandbox box;
  std::string file = box.Path("var/log/testlog.log");
  ~LogBox() { CloseSystemLog(); }
  std::string Line(const std::string& text) const { return "testlog[" + std::to_string(::getpid()) + "]: " + text + "\n"; }
};

TEST(SystemLog, AppendsOneLinePerEntryToTheSandboxsFile) {
  LogBox log;
  ASSERT_EQ(OpenSystemLog("testlog", LogFacility::kMail, false), 0u);
  EXPECT_TRUE(std::filesystem::is_directory(log.box.Path("var/log"))) << "made when missing";
  WriteSystemLog(LogPriority::kError, "first");
  WriteSystemLog(LogPriority::kInformation, "second");
  EXPECT_EQ(ReadTextFile(log.file), log.Line("first") + log.Line("second"));
  EXPECT_EQ(std::filesystem::status(log.file).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

  ASSERT_EQ(OpenSystemLog("testlog", LogFacility::kMail, false), 0u) << "opened again";
  WriteSystemLog(LogPriority::kWarning, "third");
  EXPECT_EQ(ReadTextFile(log.file), log.Line("first") + log.Line("second") + log.Line("third")) << "appended";
  EXPECT_EQ(OpenSystemLog("", LogFacility::kMail, false), ERROR_INVALID_PARAMETER);
  WriteSystemLog(LogPriority::kWarning, nullptr);
}

TEST(SystemLog, EchoesToStandardErrorUnlessItLeadsToTheJournal) {
  LogBox log;
  ::unsetenv("JOURNAL_STREAM");
  ASSERT_EQ(OpenSystemLog("testlog", LogFacility::kMail, true), 0u);
  testing::internal::CaptureStderr();
  WriteSystemLog(LogPriority::kInformation, "echoed");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), log.Line("echoed"));

  ::setenv("JOURNAL_STREAM", "8:1234", 1);
  ASSERT_EQ(OpenSystemLog("testlog", LogFacility::kMail, true), 0u);
  ::unsetenv("JOURNAL_STREAM");
  testing::internal::CaptureStderr();
  WriteSystemLog(LogPriority::kInformation, "not echoed");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(ReadTextFile(log.file), log.Line("echoed") + log.Line("not echoed"));
}

TEST(SystemLog, LinesOfSeveralProcessesStayWhole) {
  LogBox log;
  ASSERT_EQ(OpenSystemLog("testlog", LogFacility::kMail, false), 0u);
  constexpr int kWriters = 4, kLines = 200;
  const std::string body(3000, 'x');
  std::vector<pid_t> writers;
  for (int w = 0; w < kWriters; ++w) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      for (int i = 0; i < kLines; ++i) WriteSystemLog(LogPriority::kInformation, (std::to_string(w) + body).c_str());
      ::_exit(0);
    }
    ASSERT_GT(pid, 0);
    writers.push_back(pid);
  }
  for (const pid_t pid : writers) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  std::istringstream lines(ReadTextFile(log.file));
  int count = 0;
  for (std::string line; std::getline(lines, line); ++count) {
    const size_t colon = line.find("]: ");
    ASSERT_NE(colon, std::string::npos) << "line " << count;
    EXPECT_EQ(line.substr(colon + 4), body) << "line " << count << " was cut or mixed";
  }
  EXPECT_EQ(count, kWriters * kLines);
}

TEST(SystemLog, NeitherALinkNorAFifoIsWrittenThrough) {
  LogBox log;
  std::filesystem::create_directories(log.box.Path("var/log"));
  const std::string elsewhere = log.box.Path("elsewhere");
  pellam::test::WriteTextFile(elsewhere, "kept");
  ASSERT_EQ(::symlink(elsewhere.c_str(), log.file.c_str()), 0);
  EXPECT_EQ(OpenSystemLog("testlog", LogFacility::kMail, true), ERROR_CANT_RESOLVE_FILENAME);
  testing::internal::CaptureStderr();
  WriteSystemLog(LogPriority::kError, "only echoed");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), log.Line("only echoed")) << "entries are still echoed";
  EXPECT_EQ(ReadTextFile(elsewhere), "kept");

  ASSERT_EQ(::unlink(log.file.c_str()), 0);
  ASSERT_EQ(::mkfifo(log.file.c_str(), 0600), 0);
  const int reader = ::open(log.file.c_str(), O_RDONLY | O_NONBLOCK);  // an open would not wait without it
  ASSERT_GE(reader, 0);
  EXPECT_EQ(OpenSystemLog("testlog", LogFacility::kMail, false), ERROR_ACCESS_DENIED);
  WriteSystemLog(LogPriority::kError, "not into the FIFO");
  char byte;
  EXPECT_EQ(::read(reader, &byte, 1), 0) << "nothing was written into the FIFO";
  ::close(reader);
}

TEST(SystemLog, FailuresByInjectionLoseOnlyTheirOwnEntry) {
  LogBox log;
  fault::Scope scope;
  fault::FailNth(fault::Op::Open, 1, ERROR_IO_DEVICE);
  EXPECT_EQ(OpenSystemLog("testlog", LogFacility::kMail, false), ERROR_IO_DEVICE);
  EXPECT_EQ(GetLastError(), ERROR_IO_DEVICE);
  WriteSystemLog(LogPriority::kError, "nowhere");
  EXPECT_FALSE(std::filesystem::exists(log.file));

  ASSERT_EQ(OpenSystemLog("testlog", LogFacility::kMail, false), 0u);
  fault::FailNth(fault::Op::Write, 1, ERROR_DISK_FULL);
  WriteSystemLog(LogPriority::kError, "lost");
  WriteSystemLog(LogPriority::kError, "kept");
  EXPECT_EQ(ReadTextFile(log.file), log.Line("kept"));
}

TEST(SystemLog, AChildNeverWritesIntoAnotherFileUnderTheSameNumber) {
  LogBox log;
  ASSERT_EQ(OpenSystemLog("testlog", LogFacility::kMail, false), 0u);
  const std::string other = log.box.Path("users-file");
  const int rc = pellam::test::RunInChild([&] {
    // As a child that keeps none of its parent's descriptors, then opens its own:
    // the log's number is among them.
    ::close_range(3, ~0u, 0);
    std::vector<int> opened;
    for (int i = 0; i < 64; ++i) {
      opened.push_back(::open(other.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
      if (opened.back() < 0) return 1;
    }
    WriteSystemLog(LogPriority::kError, "from the child");
    CloseSystemLog();
    for (const int fd : opened) {
      if (::fcntl(fd, F_GETFD) < 0) return 2;  // closing the log closed a file of the child's
    }
    return 0;
  });
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(ReadTextFile(other), "");
  EXPECT_EQ(ReadTextFile(log.file), "");
}

}  // namespace
