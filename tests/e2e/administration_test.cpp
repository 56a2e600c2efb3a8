// An administrator sets the machine's parameters with pellreg; the library reads them
// with their bounds, and a user's first message reaches the queue with pellpost.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "compose/control_file_reader.h"
#include "pellam.h"
#include "sandbox.h"

namespace {

using pellam::test::Sandbox;
namespace fs = std::filesystem;

// Runs a program with arguments; its exit code.
int RunProgram(const std::string& program, const std::vector<std::string>& args) {
  std::string command = "'" + program + "'";
  for (const std::string& a : args) command += " '" + a + "'";
  command += " >/dev/null 2>&1";
  int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs a program; its exit code, and what it printed on both streams in `*output`.
int Capture(const std::string& program, const std::vector<std::string>& args, std::string* output) {
  std::string command = "'" + program + "'";
  for (const std::string& a : args) command += " '" + a + "'";
  command += " 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return -1;
  output->clear();
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output->append(buffer, n);
  int status = ::pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

const std::string kParameters = "HKLM\\Software\\Corwent\\Pellam";

int Pellreg(const std::vector<std::string>& args) { return RunProgram(PELLREG_PATH, args); }

class Administration : public ::testing::Test {
 protected:
  void SetUp() override {
    box_.AddCurrentUser("ann", "Ann Example");
    queue_ = box_.Path("srv/queue");
    fs::create_directories(queue_);
    fs::create_directories(box_.Path("srv/temp"));
    ASSERT_EQ(Pellreg({"add", kParameters, "/v", "MailQueuePath", "/d", queue_}), 0);
    ASSERT_EQ(Pellreg({"add", kParameters, "/v", "MailTempPath", "/d", box_.Path("srv/temp/")}), 0);
  }
  Sandbox box_;
  std::string queue_;
};

TEST_F(Administration, ParametersSetWithPellregReadWithTheirBounds) {
  ASSERT_EQ(Pellreg({"add", kParameters, "/v", "NetSendTimeout", "/t", "REG_DWORD", "/d", "5000"}), 0);
  ASSERT_EQ(Pellreg({"add", kParameters, "/v", "SenderRetryLimit", "/t", "REG_DWORD", "/d", "0xFFFFFFFF"}), 0);
  MailSystemProfile p{};
  ASSERT_EQ(GetMailSystemProfile(&p, sizeof p), 0u);
  EXPECT_EQ(p.NetSendTimeout, 10000u);
  EXPECT_EQ(p.MaximumHops, 8u);  // absent: the default
  EXPECT_EQ(p.SenderRetryLimit, 0xFFFFFFFFu);
  EXPECT_EQ(std::string(p.MailQueuePath), queue_ + "/");  // stored without its separator
  EXPECT_EQ(std::string(p.MailTempPath), box_.Path("srv/temp/"));

  ASSERT_EQ(Pellreg({"add", kParameters, "/v", "MaximumHops", "/t", "REG_SZ", "/d", "8", "/f"}), 0);
  EXPECT_EQ(GetMailSystemProfile(&p, sizeof p), ERR_BAD_PARAMETERS);
  ASSERT_EQ(Pellreg({"delete", kParameters, "/v", "MaximumHops", "/f"}), 0);
  EXPECT_EQ(GetMailSystemProfile(&p, sizeof p), 0u);
}

TEST_F(Administration, AFirstMessageReachesTheQueueComplete) {
  MailProfile me{};
  ASSERT_EQ(GetMailProfile(&me, sizeof me), 0u);  // registers ann
  std::string message = box_.Path("home/ann/hello.txt");
  pellam::test::WriteTextFile(message, "To: bob, NODE::CAROL\r\nSubject: hi\r\n\r\nHello.\r\n");
  ASSERT_EQ(RunProgram(PELLPOST_PATH, {message}), 0);

  std::vector<fs::path> queued;
  for (const auto& e : fs::directory_iterator(queue_)) queued.push_back(e.path());
  ASSERT_EQ(queued.size(), 1u);
  EXPECT_EQ(queued[0].extension(), ".mai");
  EXPECT_TRUE(fs::is_empty(box_.Path("srv/temp")));  // nothing left behind

  pellam::control::ControlFileContents control;
  ASSERT_EQ(pellam::control::ReadControlFile(queued[0].c_str(), &control), 0u);
  ASSERT_EQ(control.items.addresses.size(), 2u);
  EXPECT_EQ(std::string(control.items.addresses[0].text), "bob");
  EXPECT_EQ(std::string(control.items.addresses[1].text), "NODE::CAROL");
  // The To line joins the addresses as written, with a comma and no blank.
  EXPECT_EQ(std::string(control.header()),
            "From: ann  (Ann Example)\r\nTo: bob,NODE::CAROL\r\nSubject: hi\r\n\r\n");
  EXPECT_EQ(std::string(control.text()), "Hello.\r\n");

  // pellqueue shows the same file as an administrator reads it.
  std::string shown;
  ASSERT_EQ(Capture(PELLQUEUE_PATH, {queued[0].string()}, &shown), 0) << shown;
  EXPECT_NE(shown.find("  2 addresses\n    bob  (local user bob)\n    NODE::CAROL  (node NODE, user CAROL)\n"),
            std::string::npos)
      << shown;
  EXPECT_NE(shown.find("    From: ann  (Ann Example)\n    To: bob,NODE::CAROL\n"), std::string::npos) << shown;
  EXPECT_NE(shown.find("  text, 8 bytes\n    Hello.\n"), std::string::npos) << shown;
}

TEST_F(Administration, PellqueueSaysWhatIsWrong) {
  std::string out;
  EXPECT_EQ(Capture(PELLQUEUE_PATH, {}, &out), 2);
  EXPECT_EQ(out.rfind("usage:  pellqueue FILE...\n", 0), 0u) << out;
  EXPECT_EQ(Capture(PELLQUEUE_PATH, {"--help"}, &out), 0);
  EXPECT_EQ(Capture(PELLQUEUE_PATH, {"--version"}, &out), 0);
  EXPECT_EQ(out.rfind("pellqueue ", 0), 0u) << out;
  std::string missing = box_.Path("srv/queue/none.mai");
  EXPECT_EQ(Capture(PELLQUEUE_PATH, {missing}, &out), 1);
  EXPECT_EQ(out, "pellqueue: " + missing + ": The system cannot find the file specified.\n");
  std::string junk = box_.Path("srv/queue/junk.mai");
  pellam::test::WriteTextFile(junk, "To: nobody\r\n\r\nnot a control file\r\n");
  EXPECT_EQ(Capture(PELLQUEUE_PATH, {junk}, &out), 1);
  EXPECT_EQ(out, "pellqueue: " + junk + ": Invalid item or invalid format in Pellam control file.\n");
}

}  // namespace
