// pellpost as a whole program: its usage text, its "%s: %s" failure line and exit
// codes 0, 1 and 2, and a control file in the queue after a success.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "pellam.h"
#include "platform/errors.h"
#include "sandbox.h"

namespace {

using pellam::test::Sandbox;

struct Outcome {
  int exit_code = -1;
  std::string output;
};

// Runs pellpost with `args` (argv[0] as given) and collects its standard output.
Outcome RunPellpost(const std::vector<std::string>& args) {
  int out[2];
  if (::pipe(out) != 0) return {};
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(out[1], STDOUT_FILENO);
    ::close(out[0]);
    ::close(out[1]);
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(PELLPOST_PATH, argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  Outcome o;
  char buffer[4096];
  for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) o.output.append(buffer, static_cast<size_t>(n));
  ::close(out[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  o.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return o;
}

std::string Usage(const std::string& program) {
  return "usage:  " + program + "  filespec\n    where 'filespec' contains a complete message\n"
         "    including the 'to' and 'cc' addresses\n\n";
}

class Pellpost : public ::testing::Test {
 protected:
  void SetUp() override {
    box_.AddCurrentUser("ann", "Ann Smith");
    queue_ = box_.Path("spool/queue/");
    std::filesystem::create_directories(queue_);
    std::filesystem::create_directories(box_.Path("spool/temp/"));
    MailSystemProfile system{};
    std::strcpy(system.MailQueuePath, queue_.c_str());
    std::strcpy(system.MailTempPath, box_.Path("spool/temp/").c_str());
    ASSERT_EQ(UpdateMailSystemProfile(&system, sizeof system), 0u);
    MailProfile user{};
    ASSERT_EQ(GetMailProfile(&user, sizeof user), 0u);
  }
  std::string Message(const std::string& content) {
    const std::string path = box_.Path("message" + std::to_string(++messages_) + ".txt");
    pellam::test::WriteTextFile(path, content);
    return path;
  }
  size_t QueuedFiles() {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(queue_), {}));
  }

  Sandbox box_;
  std::string queue_;
  int messages_ = 0;
};

TEST_F(Pellpost, AWrongArgumentCountPrintsTheUsageText) {
  const std::string file = Message("To: SMITH\r\n\r\ntext");
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"pellpost"}, {"./bin/pp"}, {"pellpost", file, file}, {"pellpost", "--help", "x"}}) {
    const Outcome o = RunPellpost(args);
    EXPECT_EQ(o.exit_code, 2) << args.size() << " arguments";
    EXPECT_EQ(o.output, Usage(args[0]));
  }
  EXPECT_EQ(QueuedFiles(), 0u);
}

TEST_F(Pellpost, AMessageIsPostedSilently) {
  const Outcome o = RunPellpost({"pellpost", Message("To: SMITH\r\nSubject: hello\r\n\r\ntext\r\n")});
  EXPECT_EQ(o.exit_code, 0);
  EXPECT_EQ(o.output, "");
  ASSERT_EQ(QueuedFiles(), 1u);
  const auto entry = *std::filesystem::directory_iterator(queue_);
  const std::string name = entry.path().filename().string();
  EXPECT_EQ(name.rfind(PELLAM_QUEUE_FILE_PREFIX, 0), 0u) << name;
  EXPECT_EQ(entry.path().extension(), PELLAM_QUEUE_FILE_SUFFIX);
  const std::string content = pellam::test::ReadTextFile(entry.path().string());
  EXPECT_NE(content.find("From: ann  (Ann Smith)\r\nTo: SMITH\r\nSubject: hello\r\n\r\ntext\r\n"), std::string::npos);
}

TEST_F(Pellpost, FailuresPrintTheProgramNameAndTheStatusText) {
  const struct {
    std::string file;
    std::string text;
  } rows[] = {
      {box_.Path("missing.txt"), platform::SystemMessage(ERROR_FILE_NOT_FOUND)},
      {Message("Subject: nobody\r\n\r\ntext"), "Unknown addressee - no addresses specified. \r\n"},
      {Message("To: SMITH\r\nSubject: never ends"), platform::SystemMessage(ERROR_HANDLE_EOF)},
      {Message("To: SMITH\r\nDear John,\r\n\r\n"), "Non-header line found when header expected in file.\r\n"},
  };
  for (const auto& row : rows) {
    const Outcome o = RunPellpost({"./pellpost", row.file});
    EXPECT_EQ(o.exit_code, 1) << row.text;
    EXPECT_EQ(o.output, "./pellpost: " + row.text);
  }
  EXPECT_EQ(QueuedFiles(), 0u);
}

TEST_F(Pellpost, ANameThatHoldsNoMessageIsRefusedBeforeAnythingIsRead) {
  const std::string directory = box_.Path("a-directory");
  std::filesystem::create_directories(directory);
  const struct {
    std::string name;
    std::string text;
  } rows[] = {
      {directory, directory + " is a directory, not a file holding a message\r\n"},
      {"/dev/zero", "/dev/zero is not a regular file, not a file holding a message\r\n"},
  };
  for (const auto& row : rows) {
    const Outcome o = RunPellpost({"./pellpost", row.name});
    EXPECT_EQ(o.exit_code, 1) << row.text;
    EXPECT_EQ(o.output, "./pellpost: " + row.text);
  }
  EXPECT_EQ(QueuedFiles(), 0u);
}

TEST_F(Pellpost, AHeaderSectionThatNeverEndsFailsAtTheLargestPostableSize) {
  // The library's own reading, as any caller would meet it: bounded, whatever the file.
  const uint32_t code = SendMailMessageFromFile("/dev/zero");
  EXPECT_EQ(code, ERR_HEADER_TOO_LARGE);
  EXPECT_EQ(QueuedFiles(), 0u);
}

TEST_F(Pellpost, HelpAndVersionPrintAndSucceed) {
  Outcome o = RunPellpost({"pellpost", "--help"});
  EXPECT_EQ(o.exit_code, 0);
  EXPECT_EQ(o.output, Usage("pellpost"));
  o = RunPellpost({"pellpost", "--version"});
  EXPECT_EQ(o.exit_code, 0);
  EXPECT_EQ(o.output.rfind("pellpost ", 0), 0u) << o.output;
  EXPECT_EQ(o.output.back(), '\n');
  EXPECT_EQ(QueuedFiles(), 0u);
}

}  // namespace
