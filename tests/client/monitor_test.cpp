// The new-mail monitor on its own: watched folder, counts, newer arrivals, the retry
// while "new" is missing, the stop event, giving up, and the thread that must end in
// time or be cancelled.
#include <poll.h>
#include <unistd.h>

#include <condition_variable>
#include <filesystem>
#include <thread>

#include "client_test_support.h"
#include "monitor/monitor_thread.h"
#include "monitor/new_mail_monitor.h"
#include "platform/errors.h"
#include "platform/fault.h"

namespace pelldesk::test {
namespace {

namespace fs = std::filesystem;

struct Report {
  int count;
  bool newer;
  bool operator==(const Report&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Report& r) {
  return out << "{" << r.count << (r.newer ? ", newer}" : "}");
}

// A monitor thread with recording stand-ins for the application.
class MonitorRun {
 public:
  MonitorRun(const std::string& dir, unsigned retry_ms) {
    shared_.newFolderPath = dir;
    shared_.retryDelayMs = retry_ms;
    EXPECT_EQ(shared_.stopEvent.Create(), 0u);
    shared_.sendNewMail = [this] {
      std::lock_guard<std::mutex> lock(mutex_);
      reports_.push_back({shared_.newMailCount, shared_.newerArrival});
      changed_.notify_all();
    };
    shared_.reportError = [this](const char* format, uint32_t status) {
      std::lock_guard<std::mutex> lock(mutex_);
      errors_.push_back(std::string(format) + " " + std::to_string(status));
      changed_.notify_all();
      return fw::IDOK;
    };
    thread_ = std::thread([this] {
      uint32_t result = NewMailMonitor(shared_);
      std::lock_guard<std::mutex> lock(mutex_);
      result_ = result;
      done_ = true;
      changed_.notify_all();
    });
  }
  ~MonitorRun() { Stop(); }

  // The reports so far, after waiting (up to 5 s) for at least `n` of them.
  std::vector<Report> Reports(std::size_t n) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(5), [&] { return reports_.size() >= n; });
    return reports_;
  }
  // Waits `ms` and returns the reports, for "nothing more is reported".
  std::vector<Report> ReportsAfter(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    std::lock_guard<std::mutex> lock(mutex_);
    return reports_;
  }
  bool WaitDone(int ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return done_; });
  }
  std::vector<std::string> errors() {
    std::lock_guard<std::mutex> lock(mutex_);
    return errors_;
  }
  uint32_t Stop() {
    if (thread_.joinable()) {
      shared_.stopEvent.Set();
      thread_.join();
    }
    return result_;
  }

 private:
  MonitorShared shared_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Report> reports_;
  std::vector<std::string> errors_;
  uint32_t result_ = 12345;
  bool done_ = false;
  std::thread thread_;
};

TEST(NewMailMonitor, CountsAndTellsNewerArrivalsApart) {
  ClientSandbox sandbox;
  const std::string dir = sandbox.NewFolder();
  WriteMessage(dir + "msg0001.mai", 1000);
  WriteMessage(dir + "msg0002.mai", 1100);
  WriteMessage(dir + "msg0003.mai", 1200);
  pellam::test::WriteTextFile(dir + "#serial.dat", "3");
  MonitorRun run(dir, 60000);
  EXPECT_EQ(run.Reports(1), (std::vector<Report>{{3, true}})) << "the first scan always reports";

  fs::remove(dir + "msg0002.mai");
  EXPECT_EQ(run.Reports(2).back(), (Report{2, false})) << "a message gone: count only";

  WriteMessage(sandbox.Path("incoming.tmp"), 1300);
  fs::rename(sandbox.Path("incoming.tmp"), dir + "msg0004.mai");
  EXPECT_EQ(run.Reports(3).back(), (Report{3, true})) << "a later arrival";

  WriteMessage(sandbox.Path("old.tmp"), 900);
  fs::rename(sandbox.Path("old.tmp"), dir + "msg0005.mai");
  EXPECT_EQ(run.Reports(4).back(), (Report{4, false})) << "an older file copied in";

  // Within the same second, nanoseconds tell the later file.
  WriteMessage(sandbox.Path("close.tmp"), 1300, 500);
  fs::rename(sandbox.Path("close.tmp"), dir + "msg0006.mai");
  EXPECT_EQ(run.Reports(5).back(), (Report{5, true}));

  // A file of another kind wakes a scan that finds nothing to report; a change of an
  // existing message's contents does not even wake one.
  pellam::test::WriteTextFile(dir + "notes.txt", "x");
  EXPECT_EQ(run.ReportsAfter(300).size(), 5u);
  pellam::test::WriteTextFile(dir + "msg0001.mai", "rewritten");
  EXPECT_EQ(run.ReportsAfter(300).size(), 5u);
  EXPECT_EQ(run.Stop(), 0u);
  EXPECT_TRUE(run.errors().empty());
}

// The folder `dir` comes whole, with one message already dated, as the rename of a
// folder made elsewhere: written in place, the monitor could count the file before its
// date is set, or the empty folder before the file.
void FolderArrivesWith(const ClientSandbox& sandbox, const std::string& dir, const std::string& name,
                       int64_t seconds) {
  const std::string staged = sandbox.Path("staged-new/");
  fs::create_directories(staged);
  WriteMessage(staged + name, seconds);
  fs::create_directories(fs::path(dir).parent_path().parent_path());
  fs::rename(fs::path(staged).parent_path(), fs::path(dir).parent_path());
}

TEST(NewMailMonitor, WaitsForAMissingFolderAndWatchesItWhenItComes) {
  ClientSandbox sandbox;
  const std::string dir = sandbox.NewFolder();
  MonitorRun run(dir, 50);
  EXPECT_TRUE(run.ReportsAfter(200).empty()) << "no folder, no report";
  FolderArrivesWith(sandbox, dir, "msg0001.mai", 1000);
  EXPECT_EQ(run.Reports(1), (std::vector<Report>{{1, true}}));

  // The folder deleted while watched: the count drops to 0, then the monitor waits for
  // it again.
  fs::remove_all(dir);
  EXPECT_EQ(run.Reports(2).back(), (Report{0, false}));
  FolderArrivesWith(sandbox, dir, "msg0007.mai", 2000);
  EXPECT_EQ(run.Reports(3).back(), (Report{1, true}));
  EXPECT_EQ(run.Stop(), 0u);
}

TEST(NewMailMonitor, AFirstMessageShowsAtOnceThoughNewWasMissing) {
  ClientSandbox sandbox;
  const std::string dir = sandbox.NewFolder();
  fs::create_directories(fs::path(dir).parent_path().parent_path());
  MonitorRun run(dir, 60000);  // the retry alone would take a minute
  EXPECT_TRUE(run.ReportsAfter(200).empty());
  const auto start = std::chrono::steady_clock::now();
  FolderArrivesWith(sandbox, dir, "msg0001.mai", 1000);
  EXPECT_EQ(run.Reports(1), (std::vector<Report>{{1, true}})) << "the mail directory was watched for \"new\"";
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(run.Stop(), 0u);
}

TEST(NewMailMonitor, StopsDuringTheRetryWait) {
  ClientSandbox sandbox;
  MonitorRun run(sandbox.NewFolder(), 60000);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(run.Stop(), 0u);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST(NewMailMonitor, GivesUpOnAFolderItCannotWatchAndSaysSo) {
  ClientSandbox sandbox;
  // A name longer than any file system allows cannot be watched, nor waited for.
  MonitorRun run(sandbox.Path(std::string(300, 'n') + "/"), 50);
  ASSERT_TRUE(run.WaitDone(5000));
  EXPECT_EQ(run.Stop(), ERROR_FILENAME_EXCED_RANGE);
  EXPECT_EQ(run.errors(), std::vector<std::string>{"New mail notification isn't working. 206"});
}

TEST(NewFolderCount, CountsFromTheNamesTheNotificationReportsWithoutListingAgain) {
  ClientSandbox sandbox;
  const std::string dir = sandbox.NewFolder();
  WriteMessage(dir + "msg0001.mai", 1000);
  WriteMessage(dir + "msg0002.mai", 1100);
  NewFolderCount folder;
  FolderScan scan = folder.Rescan(dir, 0);
  EXPECT_EQ(scan.count, 2);
  EXPECT_TRUE(scan.newer);
  EXPECT_EQ(scan.newest, int64_t{1100} * 1000000000);

  using platform::DirChange;
  struct Step {
    const char* what;
    std::function<void()> disk;
    std::vector<DirChange> changes;
    int count;
    bool newer;
  };
  const std::vector<Step> steps = {
      {"a file nobody reported is not counted: the folder is not listed again",
       [&] { WriteMessage(dir + "msg0009.mai", 5000); }, {}, 2, false},
      {"an arrival", [&] { WriteMessage(dir + "msg0003.mai", 1200); }, {{dir, "msg0003.mai", true, false}}, 3, true},
      {"a name of another kind", [&] { WriteMessage(dir + "notes.txt", 9000); }, {{dir, "notes.txt", true, false}}, 3, false},
      {"an older file copied in", [&] { WriteMessage(dir + "MSG0004.MAI", 900); }, {{dir, "MSG0004.MAI", true, false}}, 4, false},
      {"one taken away", [&] { fs::remove(dir + "msg0001.mai"); }, {{dir, "msg0001.mai", false, false}}, 3, false},
      {"one that came and went before it was looked at", [] {}, {{dir, "msg0005.mai", true, false}}, 3, false},
      {"reported twice", [] {}, {{dir, "msg0003.mai", true, false}, {dir, "msg0003.mai", true, false}}, 3, false},
      {"a departure of a name never counted", [] {}, {{dir, "msg0077.mai", false, false}}, 3, false},
  };
  int64_t newest = scan.newest;
  for (const Step& step : steps) {
    step.disk();
    FolderScan applied = folder.Apply(dir, step.changes, newest);
    EXPECT_EQ(applied.count, step.count) << step.what;
    EXPECT_EQ(applied.newer, step.newer) << step.what;
    if (applied.newer) newest = applied.newest;
  }
  EXPECT_EQ(folder.Rescan(dir, newest).count, 4) << "a full listing finds the unreported file too";
}

TEST(NewMailMonitor, AFailedWaitIsReportedAndEndsTheMonitor) {
  ClientSandbox sandbox;
  const std::string dir = sandbox.NewFolder();
  fs::create_directories(dir);
  platform::fault::Scope faults;
  // The fault is for the monitor's own thread, so this test lets every thread's calls
  // count. The event's creation is the first call of its kind; the monitor's first wait
  // the second.
  platform::fault::EveryThread();
  struct KeepToThisThreadAgain {
    ~KeepToThisThreadAgain() { platform::fault::OnlyThisThread(); }
  } again;
  platform::fault::FailNth(platform::fault::Op::Wait, 2, ERROR_INVALID_HANDLE, true);
  MonitorRun run(dir, 60000);
  ASSERT_TRUE(run.WaitDone(5000));
  EXPECT_EQ(run.Stop(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(run.errors(), std::vector<std::string>{"New mail notification isn't working. 6"});
}

TEST(MonitorThread, EndsInTimeOrIsCancelledWith995) {
  MonitorThread quick;
  ASSERT_EQ(quick.Start([] { return 42u; }), 0u);
  EXPECT_EQ(quick.Join(5000), 42u);

  // A body that ignores every stop signal.
  int pipe_fds[2];
  ASSERT_EQ(pipe(pipe_fds), 0);
  MonitorThread stuck;
  ASSERT_EQ(stuck.Start([fd = pipe_fds[0]] {
              pollfd p{fd, POLLIN, 0};
              poll(&p, 1, -1);
              return 0u;
            }),
            0u);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(stuck.Join(100), ERROR_OPERATION_ABORTED);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_FALSE(stuck.IsRunning());
  close(pipe_fds[1]);
  close(pipe_fds[0]);
}

}  // namespace
}  // namespace pelldesk::test
