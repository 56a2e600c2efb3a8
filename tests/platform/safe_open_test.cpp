// Safe opening inside a user's directories, and the children that act for a user:
// what each check refuses, what is made and for whom, a failure at every step by
// fault injection (nothing half-made is left), and the bounds of a child.
#include "platform/safe_open.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

#include "platform/errors.h"
#include "platform/fault.h"
#include "platform/registry.h"
#include "platform/user_child.h"
#include "sandbox.h"

namespace {

namespace fs = std::filesystem;
using namespace platform;
using pellam::test::Sandbox;
using pellam::test::WriteTextFile;

TreeOwner Me() { return {static_cast<uint32_t>(::geteuid()), static_cast<uint32_t>(::getegid())}; }

class SafeOpen : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = box_.Path("tree");
    fs::create_directories(dir_);
    ::chmod(dir_.c_str(), 0755);
    ASSERT_EQ(OpenHome(dir_, Me(), &top_), 0u);
  }
  void TearDown() override { fault::Clear(); }

  uint32_t OpenFile(const char* name, unsigned access = kRead, unsigned disposition = kOpenExisting) {
    UniqueFile file;
    return OpenOwnedFile(top_.get(), name, Me(), access, disposition, 0600, &file);
  }
  uint32_t OpenDir(const char* name, bool create = false) {
    UniqueFile dir;
    return OpenOwnedDirectory(top_.get(), name, Me(), create, 0700, &dir);
  }

  Sandbox box_;
  std::string dir_;
  UniqueFile top_;
};

TEST_F(SafeOpen, RefusesWhatFailsTheChecks) {
  WriteTextFile(dir_ + "/plain", "x");
  ::chmod((dir_ + "/plain").c_str(), 0600);
  WriteTextFile(dir_ + "/open-to-all", "x");
  ::chmod((dir_ + "/open-to-all").c_str(), 0666);
  WriteTextFile(dir_ + "/linked", "x");
  ::chmod((dir_ + "/linked").c_str(), 0600);
  ASSERT_EQ(::link((dir_ + "/linked").c_str(), (dir_ + "/second-name").c_str()), 0);
  ASSERT_EQ(::symlink((dir_ + "/plain").c_str(), (dir_ + "/a-link").c_str()), 0);
  ASSERT_EQ(::symlink(dir_.c_str(), (dir_ + "/dir-link").c_str()), 0);
  ASSERT_EQ(::mkfifo((dir_ + "/fifo").c_str(), 0600), 0);
  ASSERT_EQ(::mkdir((dir_ + "/private").c_str(), 0700), 0);
  ASSERT_EQ(::mkdir((dir_ + "/shared").c_str(), 0700), 0);
  ::chmod((dir_ + "/shared").c_str(), 0770);
  struct Row {
    const char* name;
    uint32_t as_file, as_dir;
  };
  const Row rows[] = {
      {"plain", 0, ERROR_ACCESS_DENIED},
      {"open-to-all", ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED},
      {"linked", ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED},
      {"a-link", ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED},
      {"dir-link", ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED},
      {"fifo", ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED},
      {"private", ERROR_ACCESS_DENIED, 0},
      {"shared", ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED},
      {"missing", ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND},
      {"../tree", ERROR_INVALID_PARAMETER, ERROR_INVALID_PARAMETER},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(OpenFile(row.name), row.as_file) << row.name << " as a file";
    EXPECT_EQ(OpenDir(row.name), row.as_dir) << row.name << " as a directory";
  }
  // A FIFO opened for writing, with no reader, fails at once too.
  EXPECT_EQ(OpenFile("fifo", kWrite), ERROR_ACCESS_DENIED);
  // Nor does CreateFile ever open a FIFO, for reading or writing.
  EXPECT_EQ(CreateFile((dir_ + "/fifo").c_str(), kRead, kShareRead, kOpenExisting), kInvalidFile);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(CreateFile((dir_ + "/fifo").c_str(), kReadWrite, kShareNone, kOpenAlways), kInvalidFile);
}

TEST_F(SafeOpen, MakesFilesAndDirectoriesWithTheirModes) {
  ::umask(022);
  EXPECT_EQ(OpenDir("made", true), 0u);
  EXPECT_EQ(OpenFile("new", kReadWrite, kCreateNew), 0u);
  EXPECT_EQ(OpenFile("new", kReadWrite, kCreateNew), ERROR_FILE_EXISTS);
  EXPECT_EQ(OpenFile("new", kReadWrite, kOpenAlways), 0u);
  struct stat st{};
  ASSERT_EQ(::stat((dir_ + "/made").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  ASSERT_EQ(::stat((dir_ + "/new").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

// Root makes things for another account: they are that account's, and what the
// account already owns is not taken from it.
TEST_F(SafeOpen, RootMakesThingsForTheirAccount) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root: gives files to another uid";
  const TreeOwner ann{2301, 2301};
  ASSERT_EQ(::chown(dir_.c_str(), ann.uid, ann.gid), 0);
  UniqueFile home, made, file;
  ASSERT_EQ(OpenHome(dir_, ann, &home), 0u);
  EXPECT_EQ(OpenOwnedDirectory(home.get(), "hers", ann, true, 0700, &made), 0u);
  EXPECT_EQ(OpenOwnedFile(made.get(), "file", ann, kReadWrite, kCreateNew, 0600, &file), 0u);
  struct stat st{};
  ASSERT_EQ(::stat((dir_ + "/hers/file").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, ann.uid);
  // A root file in her directory is not hers: refused, and left root's.
  WriteTextFile(dir_ + "/hers/roots", "x");
  ::chmod((dir_ + "/hers/roots").c_str(), 0600);
  EXPECT_EQ(OpenOwnedFile(made.get(), "roots", ann, kRead, kOpenExisting, 0600, &file), ERROR_ACCESS_DENIED);
  ASSERT_EQ(::stat((dir_ + "/hers/roots").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 0u);
  // A home of a third account is nobody's to use for her.
  ASSERT_EQ(::chown(dir_.c_str(), 2302, 2302), 0);
  EXPECT_EQ(OpenHome(dir_, ann, &home), ERROR_ACCESS_DENIED);
}

// A failure at each step of making and opening the calling user's hive is reported,
// and leaves no half-made hive behind: the next attempt succeeds.
TEST(SafeOpenFaults, EveryStepOfMakingAHiveCanFail) {
  Sandbox box;
  box.AddCurrentUser("ann", "Ann");
  for (unsigned step = 1; step <= 6; ++step) {
    SCOPED_TRACE(step);
    std::error_code ec;
    fs::remove_all(box.Path("home/ann/.pellam"), ec);
    fault::Scope scope;
    fault::FailNth(fault::Op::Walk, step, ERROR_IO_DEVICE);
    UniqueKey key;
    const uint32_t code = RegCreateKeyEx(HKEY_CURRENT_USER, "Software", key.out());
    fault::Clear();
    if (code == 0) continue;  // the step was one SQLite took, after the hive was made
    EXPECT_EQ(code, ERROR_IO_DEVICE);
    EXPECT_FALSE(fs::exists(box.Path("home/ann/.pellam/registry.db")));
    for (const auto& entry : fs::directory_iterator(box.Path("home/ann/.pellam"), ec)) {
      ADD_FAILURE() << "left behind: " << entry.path();
    }
    UniqueKey again;
    EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software", again.out()), 0u);
  }
}

TEST(UserChild, ReportsAndBoundsItsWork) {
  const uint32_t me = static_cast<uint32_t>(::geteuid()), group = static_cast<uint32_t>(::getegid());
  ChildLimits limits;
  limits.deadline_ms = 2000;
  std::string out;
  EXPECT_EQ(RunAsAccount(me, group, [](std::string* o) { *o = "done"; return 7u; }, limits, &out), 7u);
  EXPECT_EQ(out, "done");
  // More than it may hand back, or a work that throws: the child counts as died.
  limits.max_output = 10;
  EXPECT_EQ(RunAsAccount(me, group, [](std::string* o) { o->assign(100, 'x'); return 0u; }, limits, &out),
            ERROR_PROCESS_ABORTED);
  EXPECT_EQ(RunAsAccount(me, group, [](std::string*) -> uint32_t { throw 1; }, limits, &out), ERROR_PROCESS_ABORTED);
  // One that kills itself, or stops itself past its deadline.
  EXPECT_EQ(RunAsAccount(me, group, [](std::string*) -> uint32_t { ::raise(SIGKILL); return 0; }, limits, &out),
            ERROR_PROCESS_ABORTED);
  limits.deadline_ms = 200;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(RunAsAccount(me, group, [](std::string*) -> uint32_t { ::raise(SIGSTOP); return 0; }, limits, &out),
            ERROR_TIMEOUT);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  // Not root: nobody else's identity can be taken.
  if (me != 0) {
    EXPECT_EQ(RunAsAccount(me + 1, group, [](std::string*) { return 0u; }, limits, &out), ERROR_ACCESS_DENIED);
  }
  fault::Scope scope;
  fault::FailNth(fault::Op::Child, 1, ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(RunAsAccount(me, group, [](std::string*) { return 0u; }, limits, &out), ERROR_NOT_ENOUGH_MEMORY);
}

TEST(UserChild, KeepsOnlyTheDescriptorLentToIt) {
  const uint32_t me = static_cast<uint32_t>(::geteuid()), group = static_cast<uint32_t>(::getegid());
  const int kept = ::open("/dev/null", O_RDONLY);
  const int other = ::open("/dev/null", O_RDONLY);
  ASSERT_GE(kept, 0);
  ASSERT_GE(other, 0);
  const auto open_in_child = [&](int lent) {
    ChildLimits limits;
    limits.lent_fd = lent;
    std::string out;
    const uint32_t code = RunAsAccount(
        me, group,
        [&](std::string* o) {
          *o = std::string(::fcntl(kept, F_GETFD) >= 0 ? "k" : "-") + (::fcntl(other, F_GETFD) >= 0 ? "o" : "-");
          return 0u;
        },
        limits, &out);
    EXPECT_EQ(code, 0u);
    return out;
  };
  EXPECT_EQ(open_in_child(-1), "--");
  EXPECT_EQ(open_in_child(kept), "k-");
  EXPECT_EQ(open_in_child(other), "-o");
  ::close(kept);
  ::close(other);
}

}  // namespace
