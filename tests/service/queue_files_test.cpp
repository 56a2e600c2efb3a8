// Reading a control file and clearing stale temporary files when the platform fails
// under them: a failed open or look is the platform's code, never a file judged
// unusable; a failed delete is logged and the file kept; a temporary directory that
// is a link is left alone.
#include <gtest/gtest.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "pellam.h"
#include "platform/errors.h"
#include "platform/fault.h"
#include "queue_file.h"
#include "sandbox.h"
#include "temp_cleanup.h"

namespace {

using namespace pellam::service;
using pellam::test::Sandbox;
using pellam::test::WriteTextFile;
namespace fs = std::filesystem;

TEST(QueueFiles, AFailedOpenOrLookIsThePlatformsCode) {
  Sandbox box;
  const std::string path = box.Path("snd0001.mai");
  WriteTextFile(path, "To: ann\r\n\r\n");
  ASSERT_EQ(::symlink(path.c_str(), box.Path("link.mai").c_str()), 0);
  using platform::fault::Op;
  struct Row {
    const char* what;
    Op op;
    unsigned nth;  // the name is looked at first, then opened, then the file looked at
  } rows[] = {{"look at the name", Op::Look, 1}, {"open", Op::Open, 1}, {"look at the open file", Op::Look, 2}};
  for (const Row& row : rows) {
    platform::fault::Scope faults;
    platform::fault::FailNth(row.op, row.nth, ERROR_IO_DEVICE);
    std::string bytes;
    JobIdentity identity;
    QueueFileFacts facts;
    EXPECT_EQ(ReadQueueFile(path, &bytes, &identity, &facts), ERROR_IO_DEVICE) << row.what;
    EXPECT_EQ(facts.problem, "") << row.what << ": not a reason to set the file aside";
  }
  std::string bytes;
  JobIdentity identity;
  QueueFileFacts facts;
  ASSERT_EQ(ReadQueueFile(path, &bytes, &identity, &facts), 0u);
  EXPECT_EQ(bytes, "To: ann\r\n\r\n");
  EXPECT_EQ(ReadQueueFile(box.Path("link.mai"), &bytes, &identity, &facts), ERR_CONTROL_FILE);
  EXPECT_EQ(facts.problem, "a link, not a control file");
}

class StaleFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_);
    for (const char* name : {"sndAAAA.tmp", "sndBBBB.tmp"}) {
      WriteTextFile(dir_ + name, "old");
      const struct timeval two_days_ago[2] = {{::time(nullptr) - 2 * 86400, 0}, {::time(nullptr) - 2 * 86400, 0}};
      ASSERT_EQ(::utimes((dir_ + name).c_str(), two_days_ago), 0);
    }
  }
  std::vector<std::string> Left(const std::string& dir) const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  Sandbox box_;
  std::string dir_ = box_.Path("temp/");
  std::vector<std::pair<uint32_t, std::string>> events_;
  EventLog log_{[this](uint32_t code, const std::string& text) { events_.emplace_back(code, text); }};
};

TEST_F(StaleFiles, AFailedDeleteIsLoggedAndTheFileKept) {
  platform::fault::Scope faults;
  platform::fault::FailNth(platform::fault::Op::Delete, 1, ERROR_ACCESS_DENIED);
  EXPECT_EQ(RemoveStaleTemporaryFiles(dir_, std::time(nullptr), log_), 1u);
  EXPECT_EQ(Left(dir_), std::vector<std::string>{"sndAAAA.tmp"});
  ASSERT_EQ(events_.size(), 2u);
  EXPECT_EQ(events_[0].first, EVT_FILE_DELETE);
  EXPECT_NE(events_[0].second.find(dir_ + "sndAAAA.tmp"), std::string::npos) << events_[0].second;
  EXPECT_NE(events_[1].second.find("Removed the stale temporary file " + dir_ + "sndBBBB.tmp: 3 bytes"),
            std::string::npos)
      << events_[1].second;
}

TEST_F(StaleFiles, AFileThatCannotBeLookedAtIsLeftAlone) {
  platform::fault::Scope faults;
  platform::fault::FailNth(platform::fault::Op::Look, 2, ERROR_IO_DEVICE);  // after the directory
  EXPECT_EQ(RemoveStaleTemporaryFiles(dir_, std::time(nullptr), log_), 1u);
  EXPECT_EQ(Left(dir_), std::vector<std::string>{"sndAAAA.tmp"});
}

TEST_F(StaleFiles, ADirectoryThatIsALinkIsLeftAlone) {
  const std::string link = box_.Path("temp-link");
  ASSERT_EQ(::symlink(box_.Path("temp").c_str(), link.c_str()), 0);
  EXPECT_EQ(RemoveStaleTemporaryFiles(link + "/", std::time(nullptr), log_), 0u);
  EXPECT_EQ(Left(dir_), (std::vector<std::string>{"sndAAAA.tmp", "sndBBBB.tmp"}));
  EXPECT_EQ(RemoveStaleTemporaryFiles(dir_, std::time(nullptr) - 86400 - 60, log_), 0u) << "not stale yet then";
  EXPECT_EQ(RemoveStaleTemporaryFiles(dir_, std::time(nullptr), log_), 2u);
  EXPECT_EQ(Left(dir_), std::vector<std::string>{});
}

}  // namespace
