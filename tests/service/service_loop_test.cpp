// The service's loop over time, on a clock the test turns: when a file that must wait
// is tried again and when it is given up, what a failed queue listing or a failed error
// report leaves, and which journals the clean-up removes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <ctime>
#include <filesystem>

#include "needs_root.h"
#include "pellam.h"
#include "platform/errors.h"
#include "platform/fault.h"
#include "service_loop.h"
#include "service_sandbox.h"

namespace {

namespace fs = std::filesystem;
using pellam::service::ServiceLoop;
using pellam::test::ServiceSandbox;
using Names = std::vector<std::string>;

constexpr std::time_t kDelta = 10 * 60;  // SenderRetryDelta, in seconds
constexpr std::time_t kLimit = 60 * 60;  // SenderRetryLimit, in seconds

class LoopOverTime : public ::testing::Test {
 protected:
  void SetUp() override {
    s_.SetSystemNumber("SenderRetryDelta", kDelta * 1000);
    s_.SetSystemNumber("SenderRetryLimit", kLimit * 1000);
    settings_ = s_.Settings();
  }
  // A loop whose clock reads `now_`.
  ServiceLoop Loop() { return ServiceLoop(settings_, log_, [this] { return now_; }); }
  // The journal's name for a control file of the queue.
  static std::string JournalOf(const std::string& control) { return control.substr(0, control.size() - 4) + ".sta"; }

  ServiceSandbox s_;
  pellam::service::ServiceSettings settings_;
  const pellam::service::EventLog log_ = s_.Log();
  std::time_t now_ = std::time(nullptr);
  const std::atomic<bool> stop_{false};
};

TEST_F(LoopOverTime, AFileThatMustWaitIsTriedAgainEachRetryDeltaAndGivenUpAtTheLimit) {
  PELLAM_NEEDS_ROOT("the service knows its own reports by their owner, root");
  // No DECnet node: mail for another node waits in the queue.
  s_.Post("To: NODEB::SMITH\r\nSubject: far\r\n\r\nx\r\n");
  const std::time_t start = now_;
  ServiceLoop loop = Loop();
  EXPECT_EQ(loop.Pass(stop_), 1u);
  EXPECT_EQ(loop.MillisecondsToWait(now_), 60 * 1000) << "a rescan comes before the retry";
  struct Step {
    std::time_t at;      // seconds after the first attempt
    size_t worked;       // files the pass worked on
    int wait_ms;         // what the loop then waits at most
  } steps[] = {
      {kDelta - 1, 0, 1000},        // not yet due
      {kDelta, 1, 60 * 1000},       // due: tried again, due once more a delta later
      {2 * kDelta - 1, 0, 1000},
      {2 * kDelta, 1, 60 * 1000},
  };
  for (const Step& step : steps) {
    now_ = start + step.at;
    EXPECT_EQ(loop.Pass(stop_), step.worked) << "at +" << step.at << " s\n" << s_.LogText();
    EXPECT_EQ(loop.MillisecondsToWait(now_), step.wait_ms) << "at +" << step.at << " s";
    EXPECT_EQ(s_.QueueFiles().size(), 2u) << "the control file and its journal wait";
  }
  EXPECT_EQ(s_.Messages("ann"), Names{}) << "nothing reported before the limit";

  now_ = start + kLimit + kDelta;
  EXPECT_EQ(loop.Pass(stop_), 1u);
  loop.Drain(stop_);  // the report, which the service posted into its own queue
  EXPECT_EQ(s_.QueueFiles(), Names{}) << s_.LogText();
  const auto reports = s_.Contents("ann");
  ASSERT_EQ(reports.size(), 1u) << s_.LogText();
  EXPECT_NE(reports[0].find("The service has stopped trying to deliver the message."), std::string::npos)
      << reports[0];
  EXPECT_EQ(loop.MillisecondsToWait(now_), 60 * 1000) << "nothing left to retry";
}

TEST_F(LoopOverTime, AQueueThatCannotBeListedIsLoggedAndTheNextPassWorksOnIt) {
  PELLAM_NEEDS_ROOT("the service knows its own reports by their owner, root");
  s_.Post("To: nosuch\r\nSubject: s\r\n\r\nx\r\n");
  ServiceLoop loop = Loop();
  {
    platform::fault::Scope faults;
    platform::fault::FailNth(platform::fault::Op::Open, 1, ERROR_IO_DEVICE);  // the search's start
    EXPECT_EQ(loop.Pass(stop_), 0u);
    EXPECT_GE(platform::fault::Calls(platform::fault::Op::Open), 1u);
  }
  EXPECT_TRUE(s_.Logged(EVT_FILE_SEARCH)) << s_.LogText();
  EXPECT_NE(s_.LogText().find(s_.queue() + "*.mai"), std::string::npos) << s_.LogText();
  EXPECT_EQ(s_.QueueFiles().size(), 1u) << "the file waits for the next pass";
  EXPECT_EQ(loop.Pass(stop_), 1u);
  loop.Drain(stop_);  // the report, which the service posted into its own queue
  EXPECT_EQ(s_.QueueFiles(), Names{}) << s_.LogText();
  EXPECT_EQ(s_.Contents("ann").size(), 1u) << "the report of the unknown user";
}

TEST_F(LoopOverTime, AReportThatCannotBePostedIsLoggedAndTheRecipientTriedAgain) {
  PELLAM_NEEDS_ROOT("the service knows its own reports by their owner, root");
  s_.Post("To: nosuch\r\nSubject: s\r\n\r\nx\r\n");
  const Names queued = s_.QueueFiles();
  ASSERT_EQ(queued.size(), 1u);
  ServiceLoop loop = Loop();
  {
    platform::fault::Scope faults;
    // Nothing but the report moves a file into the queue in this pass.
    platform::fault::FailNth(platform::fault::Op::Move, 1, ERROR_DISK_FULL, true);
    EXPECT_EQ(loop.Pass(stop_), 1u);
    EXPECT_GE(platform::fault::Calls(platform::fault::Op::Move), 1u) << "the report was never posted";
  }
  EXPECT_TRUE(s_.Logged(EVT_ERROR_REPORT_FAILED)) << s_.LogText();
  EXPECT_EQ(s_.Contents("ann"), Names{});
  EXPECT_EQ(s_.QueueFiles(), (Names{queued[0], JournalOf(queued[0])})) << "the control file waits";

  now_ += kDelta;
  EXPECT_EQ(loop.Pass(stop_), 1u);
  loop.Drain(stop_);  // the report, which the service posted into its own queue
  EXPECT_EQ(s_.QueueFiles(), Names{}) << s_.LogText();
  const auto reports = s_.Contents("ann");
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(reports[0].find("No such user nosuch"), std::string::npos) << reports[0];
}

TEST_F(LoopOverTime, AFinalReportThatCannotBePostedIsLoggedAndTheFileIsDone) {
  s_.Post("To: NODEB::SMITH\r\nSubject: far\r\n\r\nx\r\n");
  ServiceLoop loop = Loop();
  now_ += kLimit + kDelta;  // past the limit at the first attempt
  {
    platform::fault::Scope faults;
    platform::fault::FailNth(platform::fault::Op::Move, 1, ERROR_DISK_FULL, true);
    EXPECT_EQ(loop.Pass(stop_), 1u);
    EXPECT_GE(platform::fault::Calls(platform::fault::Op::Move), 1u) << "the report was never posted";
  }
  EXPECT_TRUE(s_.Logged(EVT_ERROR_REPORT_FAILED)) << s_.LogText();
  EXPECT_EQ(s_.QueueFiles(), Names{}) << "given up: nothing is retried for ever";
  EXPECT_EQ(s_.Contents("ann"), Names{});
}

TEST_F(LoopOverTime, OnlyTheServicesOwnOrphanedJournalsAreRemoved) {
  s_.Post("To: NODEB::SMITH\r\nSubject: far\r\n\r\nx\r\n");  // waits, with its journal
  const std::string q = s_.queue();
  pellam::test::WriteTextFile(q + "lost.sta", "job 0 0 0\n");       // its control file is gone
  pellam::test::WriteTextFile(q + "LOST2.STA", "job 0 0 0\n");      // the search ignores case
  fs::create_directories(q + "dir.sta");                            // not a file
  pellam::test::WriteTextFile(s_.box().Path("elsewhere"), "keep");
  fs::create_symlink(s_.box().Path("elsewhere"), q + "link.sta");  // a link
  ServiceLoop loop = Loop();
  EXPECT_EQ(loop.Pass(stop_), 1u);
  const Names left = s_.QueueFiles();
  EXPECT_EQ(std::count(left.begin(), left.end(), "lost.sta"), 0) << "orphan kept";
  EXPECT_EQ(std::count(left.begin(), left.end(), "LOST2.STA"), 0) << "orphan kept";
  for (const char* kept : {"dir.sta", "link.sta"}) EXPECT_EQ(std::count(left.begin(), left.end(), kept), 1) << kept;
  EXPECT_EQ(left.size(), 4u) << "the waiting file and its journal stay";
  EXPECT_EQ(pellam::test::ReadTextFile(s_.box().Path("elsewhere")), "keep");
}

TEST_F(LoopOverTime, AnOrphanedJournalOfAnotherAccountStays) {
  PELLAM_NEEDS_ROOT("gives the journal to another account");
  const std::string journal = s_.queue() + "planted.sta";
  pellam::test::WriteTextFile(journal, "job 0 0 0\n");
  ASSERT_EQ(::chown(journal.c_str(), 4321, 4321), 0);
  ServiceLoop loop = Loop();
  EXPECT_EQ(loop.Pass(stop_), 0u);
  EXPECT_EQ(s_.QueueFiles(), Names{"planted.sta"});
}

}  // namespace
