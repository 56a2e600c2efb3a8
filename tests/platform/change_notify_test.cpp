// Change notifications, events and waits: which names a notification reports and when
// it dies, the decoder fed records the kernel would never write, an event that stays
// set, a wait that the lowest signalled object wins, and every failure through the
// layer's fault injection.
#include "platform/change_notify.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/errors.h"
#include "platform/events.h"
#include "platform/fault.h"
#include "platform/file_time.h"
#include "sandbox.h"

namespace {

namespace fs = std::filesystem;
using pellam::test::Sandbox;
using pellam::test::WriteTextFile;

std::vector<std::string> Seen(const std::vector<platform::DirChange>& changes) {
  std::vector<std::string> seen;
  for (const platform::DirChange& c : changes) {
    seen.push_back(c.dir + "|" + c.name + (c.present ? "+" : "-") + (c.directory ? "d" : ""));
  }
  return seen;
}

TEST(ChangeNotification, EachChangeSaysWhichNameInWhichDirectoryCameOrWent) {
  Sandbox sandbox;
  const std::string a = sandbox.Path("a");
  const std::string b = sandbox.Path("b");
  fs::create_directories(a);
  fs::create_directories(b);
  platform::ChangeNotification watch;
  ASSERT_EQ(watch.Open(a, platform::kNotifyFileName | platform::kNotifyWritten), 0u);
  ASSERT_EQ(watch.Add(b), 0u);
  EXPECT_EQ(watch.Add(sandbox.Path("none")), ERROR_FILE_NOT_FOUND);
  WriteTextFile(a + "/msg0001.mai", "x");
  fs::create_directory(b + "/sub");
  fs::rename(a + "/msg0001.mai", b + "/msg0009.mai");
  std::vector<platform::DirChange> changes;
  bool lost = false;
  ASSERT_TRUE(watch.ReadChanges(&changes, &lost));
  EXPECT_FALSE(lost);
  // Created, written and closed, a folder made, then moved out of one into the other.
  EXPECT_EQ(Seen(changes), (std::vector<std::string>{a + "|msg0001.mai+", a + "|msg0001.mai+", b + "|sub+d",
                                                     a + "|msg0001.mai-", b + "|msg0009.mai+"}));

  fs::remove_all(b);
  changes.clear();
  EXPECT_TRUE(watch.ReadChanges(&changes, &lost)) << "one directory gone, the other still watched";
  fs::rename(a, sandbox.Path("a-moved"));
  EXPECT_FALSE(watch.ReadChanges(&changes, &lost)) << "the last one moved away";
  EXPECT_EQ(platform::GetLastError(), ERROR_PATH_NOT_FOUND);
  // Moved away, it is no longer watched where it went either.
  WriteTextFile(sandbox.Path("a-moved/late.mai"), "x");
  const int handle = watch.handle();
  EXPECT_EQ(platform::WaitForObjects(&handle, 1, 50), platform::kWaitTimeout);
}

TEST(ChangeNotification, TheFilterChoosesWhatWakesIt) {
  Sandbox sandbox;
  const std::string dir = sandbox.Path("q");
  fs::create_directories(dir);
  WriteTextFile(dir + "/old.mai", "x");
  platform::ChangeNotification arrivals;
  ASSERT_EQ(arrivals.Open(dir, platform::kNotifyNameAdded), 0u);
  const int handle = arrivals.handle();
  fs::remove(dir + "/old.mai");
  EXPECT_EQ(platform::WaitForObjects(&handle, 1, 50), platform::kWaitTimeout) << "a deletion is not an arrival";
  WriteTextFile(dir + "/new.mai", "x");
  EXPECT_EQ(platform::WaitForObjects(&handle, 1, 2000), 0u);
  ASSERT_TRUE(arrivals.Rearm());
  EXPECT_EQ(platform::WaitForObjects(&handle, 1, 0), platform::kWaitTimeout) << "re-armed: nothing pending";
}

TEST(ChangeNotification, FailuresAreStatusCodes) {
  Sandbox sandbox;
  platform::ChangeNotification watch;
  EXPECT_EQ(watch.Open(sandbox.Path("missing/new")), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(watch.Open(sandbox.Path("missing")), ERROR_FILE_NOT_FOUND);
  WriteTextFile(sandbox.Path("file"), "x");
  EXPECT_EQ(watch.Open(sandbox.Path("file")), ERROR_PATH_NOT_FOUND) << "only a directory can be watched";
  EXPECT_FALSE(watch.IsOpen());
  EXPECT_FALSE(watch.Rearm());
  EXPECT_EQ(platform::GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(watch.Add(sandbox.root()), ERROR_INVALID_HANDLE);

  struct Case {
    unsigned nth;  // which Notify call fails: 1 the start, 2 the directory, 3 the read
    const char* what;
  };
  for (const Case c : {Case{1, "start"}, Case{2, "directory"}, Case{3, "read"}}) {
    platform::fault::Scope faults;
    platform::fault::FailNth(platform::fault::Op::Notify, c.nth, ERROR_TOO_MANY_OPEN_FILES);
    platform::ChangeNotification faulty;
    const uint32_t opened = faulty.Open(sandbox.root());
    if (c.nth < 3) {
      EXPECT_EQ(opened, ERROR_TOO_MANY_OPEN_FILES) << c.what;
      EXPECT_EQ(platform::GetLastError(), ERROR_TOO_MANY_OPEN_FILES) << c.what;
      EXPECT_FALSE(faulty.IsOpen()) << c.what << ": nothing half open is left";
    } else {
      ASSERT_EQ(opened, 0u);
      std::vector<platform::DirChange> changes;
      EXPECT_FALSE(faulty.ReadChanges(&changes, nullptr)) << c.what;
      EXPECT_EQ(platform::GetLastError(), ERROR_TOO_MANY_OPEN_FILES) << c.what;
      EXPECT_TRUE(faulty.ReadChanges(&changes, nullptr)) << "the next read works again";
    }
  }
}

// One record as the kernel lays it out, the name padded to `len` bytes.
std::string Record(int wd, uint32_t mask, const std::string& name, uint32_t len) {
  inotify_event event{};
  event.wd = wd;
  event.mask = mask;
  event.len = len;
  std::string bytes(reinterpret_cast<const char*>(&event), sizeof event);
  std::string padded = name;
  padded.resize(len, '\0');
  return bytes + padded;
}

TEST(DecodeChangeRecords, TrustsNoLengthAndKeepsTheWatchedDirectoriesRight) {
  struct Case {
    const char* what;
    std::string bytes;
    std::vector<std::string> seen;
    bool lost;
    std::size_t dirs_left;
    std::vector<int> moved;
  };
  const std::vector<Case> cases = {
      {"a name moved in", Record(1, IN_MOVED_TO, "msg0001.mai", 16), {"/d|msg0001.mai+"}, false, 2, {}},
      {"a directory made in the other", Record(2, IN_CREATE | IN_ISDIR, "sub", 4), {"/e|sub+d"}, false, 2, {}},
      {"a name as long as its room, without a NUL", Record(1, IN_DELETE, "abcd", 4), {"/d|abcd-"}, false, 2, {}},
      {"an empty name", Record(1, IN_CREATE, "", 8), {}, false, 2, {}},
      {"overflow", Record(-1, IN_Q_OVERFLOW, "", 0), {}, true, 2, {}},
      {"a length past the end", Record(1, IN_CREATE, "x", 16).substr(0, sizeof(inotify_event) + 4), {}, false, 2, {}},
      {"half a header", Record(1, IN_CREATE, "x", 16).substr(0, 7), {}, false, 2, {}},
      {"one directory deleted", Record(1, IN_DELETE_SELF, "", 0) + Record(1, IN_IGNORED, "", 0), {}, false, 1, {}},
      {"one directory moved away", Record(2, IN_MOVE_SELF, "", 0), {}, false, 1, {2}},
      {"a change after a bad record is not read",
       Record(1, IN_CREATE, "x", 4000).substr(0, sizeof(inotify_event) + 4) + Record(1, IN_CREATE, "y", 4),
       {},
       false,
       2,
       {}},
      {"whole records of any length are read", Record(1, IN_CREATE, "x", 4000) + Record(2, IN_CREATE, "y", 4),
       {"/d|x+", "/e|y+"}, false, 2, {}},
  };
  for (const Case& c : cases) {
    std::map<int, std::string> dirs = {{1, "/d"}, {2, "/e"}};
    std::vector<platform::DirChange> changes;
    bool lost = false;
    std::vector<int> moved;
    platform::DecodeChangeRecords(c.bytes.data(), c.bytes.size(), &dirs, &changes, &lost, &moved);
    EXPECT_EQ(Seen(changes), c.seen) << c.what;
    EXPECT_EQ(lost, c.lost) << c.what;
    EXPECT_EQ(dirs.size(), c.dirs_left) << c.what;
    EXPECT_EQ(moved, c.moved) << c.what;
  }
}

TEST(Event, StaysSetForEveryWaiterUntilReset) {
  platform::Event event;
  EXPECT_FALSE(event.Set());
  EXPECT_EQ(platform::GetLastError(), ERROR_INVALID_HANDLE);
  ASSERT_EQ(event.Create(), 0u);
  const int handle = event.handle();
  EXPECT_EQ(platform::WaitForObjects(&handle, 1, 0), platform::kWaitTimeout);
  ASSERT_TRUE(event.Set());
  ASSERT_TRUE(event.Set());
  EXPECT_EQ(platform::WaitForObjects(&handle, 1, 0), 0u);
  EXPECT_EQ(platform::WaitForObjects(&handle, 1, 0), 0u) << "a wait does not consume the signal";
  ASSERT_TRUE(event.Reset());
  EXPECT_EQ(platform::WaitForObjects(&handle, 1, 0), platform::kWaitTimeout);
  EXPECT_TRUE(event.Reset()) << "resetting a clear event is no failure";
}

TEST(WaitForObjects, TheLowestSignalledWinsAndTimeOutsAreKept) {
  platform::Event stop, work;
  ASSERT_EQ(stop.Create(), 0u);
  ASSERT_EQ(work.Create(), 0u);
  const int handles[3] = {stop.handle(), -1, work.handle()};
  work.Set();
  EXPECT_EQ(platform::WaitForObjects(handles, 3, 0), 2u);
  stop.Set();
  EXPECT_EQ(platform::WaitForObjects(handles, 3, 0), 0u) << "a stop beside work is a stop";

  platform::Event quiet;
  ASSERT_EQ(quiet.Create(), 0u);
  const int one = quiet.handle();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(platform::WaitForObjects(&one, 1, 60), platform::kWaitTimeout);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(60));

  // Set from another thread while waited for without limit.
  std::thread setter([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    quiet.Set();
  });
  EXPECT_EQ(platform::WaitForObjects(&one, 1, platform::kInfinite), 0u);
  setter.join();

  // A pipe whose writer closed is signalled: the reader has nothing more to wait for.
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  close(fds[1]);
  EXPECT_EQ(platform::WaitForObjects(&fds[0], 1, 0), 0u);
  close(fds[0]);
  const int closed = fds[0];
  EXPECT_EQ(platform::WaitForObjects(&closed, 1, 0), platform::kWaitFailed);
  EXPECT_EQ(platform::GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(platform::WaitForObjects(nullptr, 0, platform::kInfinite), platform::kWaitFailed)
      << "nothing to wait for, for ever";
  EXPECT_EQ(platform::GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(WaitForObjects, InjectedFailuresOfCreateSetAndWait) {
  platform::fault::Scope faults;
  platform::Event event;
  platform::fault::FailNth(platform::fault::Op::Wait, 1, ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(event.Create(), ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_FALSE(event.IsCreated());
  ASSERT_EQ(event.Create(), 0u);
  platform::fault::FailNth(platform::fault::Op::Wait, 1, ERROR_GEN_FAILURE);
  EXPECT_FALSE(event.Set());
  EXPECT_EQ(platform::GetLastError(), ERROR_GEN_FAILURE);
  ASSERT_TRUE(event.Set());
  const int handle = event.handle();
  platform::fault::FailNth(platform::fault::Op::Wait, 1, ERROR_INVALID_HANDLE);
  EXPECT_EQ(platform::WaitForObjects(&handle, 1, 0), platform::kWaitFailed);
  EXPECT_EQ(platform::GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(platform::WaitForObjects(&handle, 1, 0), 0u);
}

TEST(GetLastWriteTime, NanosecondsOrTheCodeOfTheMissingName) {
  Sandbox sandbox;
  const std::string path = sandbox.Path("f");
  WriteTextFile(path, "x");
  const timespec times[2] = {{1000, 5}, {1000, 123456789}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  int64_t written = 0;
  ASSERT_EQ(platform::GetLastWriteTime(path.c_str(), &written), 0u);
  EXPECT_EQ(written, 1000123456789);
  EXPECT_EQ(platform::GetLastWriteTime(sandbox.Path("gone").c_str(), &written), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(platform::GetLastWriteTime(sandbox.Path("no/such").c_str(), &written), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(platform::GetLastWriteTime(nullptr, &written), ERROR_INVALID_PARAMETER);
}

}  // namespace
