// "Root takes over a file through a user's home": ann plants links, FIFOs and unsafe
// directories where her hive belongs, or swaps them in between root's check and use
// (run deterministically through the platform's fault hooks), while root works on her
// hive with pellreg or the registry calls. Every attempt now fails, names nothing of
// root's or bob's as ann's, and leaves every file with the owner and content it had.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "needs_root.h"
#include "platform/accounts.h"
#include "platform/errors.h"
#include "platform/fault.h"
#include "platform/registry.h"
#include "sandbox.h"

namespace {

namespace fs = std::filesystem;
namespace fault = platform::fault;
using pellam::test::ReadTextFile;
using pellam::test::Sandbox;
using pellam::test::WriteTextFile;

constexpr uid_t kAnn = 2101;
constexpr uid_t kBob = 2102;

struct Owned {
  uid_t uid = 0;
  mode_t mode = 0;
  std::string content;
  bool operator==(const Owned&) const = default;
};

Owned StateOf(const std::string& path) {
  struct stat st{};
  if (::lstat(path.c_str(), &st) != 0) return {};
  return {st.st_uid, st.st_mode & 07777, S_ISREG(st.st_mode) ? ReadTextFile(path) : std::string()};
}

// Runs pellreg with `args`; its exit status, or -1 when it had to be killed after 10 s.
int Pellreg(const std::vector<std::string>& args, const std::string& output) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(fd, 1);
    ::dup2(fd, 2);
    std::vector<char*> argv{const_cast<char*>(PELLREG_PROGRAM)};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(PELLREG_PROGRAM, argv.data());
    ::_exit(127);
  }
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > end) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// As `uid`, runs `body`; fails the test when it does not return 0.
void AsUser(uid_t uid, const std::function<int()>& body) {
  ASSERT_EQ(pellam::test::RunAsUser(uid, uid, body), 0);
}

// ann's own hive, made by ann with one value in it.
void AnnMakesHerHive() {
  AsUser(kAnn, [] {
    platform::UniqueKey key;
    if (platform::RegCreateKeyEx(platform::HKEY_CURRENT_USER, "Software\\Mine", key.out()) != 0) return 1;
    const char text[] = "ann's";
    return platform::RegSetValueEx(key.get(), "v", platform::REG_SZ, reinterpret_cast<const uint8_t*>(text),
                                   sizeof text) == 0 ? 0 : 2;
  });
}

class HiveTakeover : public ::testing::Test {
 protected:
  void SetUp() override {
    PELLAM_NEEDS_ROOT("ann and bob are real accounts with their own uids");
    box_ = std::make_unique<Sandbox>();
    box_->AddUser("ann", kAnn, "Ann", "/home/ann");
    box_->AddUser("bob", kBob, "Bob", "/home/bob");
    home_ = box_->Path("home/ann");
    // Root's own things that ann would like to own: a private directory and a file.
    secret_dir_ = box_->Path("secret");
    fs::create_directories(secret_dir_);
    ::chmod(secret_dir_.c_str(), 0700);
    secret_ = secret_dir_ + "/shadow";
    WriteTextFile(secret_, "root's secret\n");
    ::chmod(secret_.c_str(), 0600);
    before_dir_ = StateOf(secret_dir_);
    before_file_ = StateOf(secret_);
    platform::SetRegistryLockTimeout(1000);
  }
  void TearDown() override {
    fault::Clear();
    platform::SetRegistryLockTimeout(5000);
  }

  void ExpectRootsFilesUntouched() {
    EXPECT_EQ(StateOf(secret_dir_), before_dir_) << "root's directory changed";
    EXPECT_EQ(StateOf(secret_), before_file_) << "root's file changed";
    EXPECT_FALSE(fs::exists(secret_dir_ + "/registry.db"));
  }
  std::string AnnKey(const std::string& below) const {
    return "HKU\\" + platform::SidString(kAnn) + "\\" + below;
  }

  std::unique_ptr<Sandbox> box_;
  std::string home_, secret_dir_, secret_;
  Owned before_dir_, before_file_;
};

// What ann plants before root runs pellreg on her hive.
TEST_F(HiveTakeover, PlantedBeforehandPellregRefusesAndChangesNothing) {
  struct Row {
    const char* what;
    std::function<int(const std::string& home, const std::string& secret_dir, const std::string& secret)> plant;
  };
  const Row rows[] = {
      {"~/.pellam a link to root's directory",
       [](const std::string& home, const std::string& dir, const std::string&) {
         return ::symlink(dir.c_str(), (home + "/.pellam").c_str());
       }},
      {"registry.db a link to root's file",
       [](const std::string& home, const std::string&, const std::string& secret) {
         if (::mkdir((home + "/.pellam").c_str(), 0700) != 0) return 1;
         return ::symlink(secret.c_str(), (home + "/.pellam/registry.db").c_str());
       }},
      {"registry.db-journal a link to root's file",
       [](const std::string& home, const std::string&, const std::string& secret) {
         return ::symlink(secret.c_str(), (home + "/.pellam/registry.db-journal").c_str());
       }},
      {"registry.db a FIFO",
       [](const std::string& home, const std::string&, const std::string&) {
         if (::mkdir((home + "/.pellam").c_str(), 0700) != 0) return 1;
         return ::mkfifo((home + "/.pellam/registry.db").c_str(), 0600);
       }},
      {"~/.pellam writable by everyone",
       [](const std::string& home, const std::string&, const std::string&) {
         if (::mkdir((home + "/.pellam").c_str(), 0700) != 0) return 1;
         return ::chmod((home + "/.pellam").c_str(), 0777);
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::error_code ec;
    fs::remove_all(home_ + "/.pellam", ec);
    // The journal row needs ann's real hive first: root then writes a transaction.
    if (std::string(row.what).find("journal") != std::string::npos) AnnMakesHerHive();
    AsUser(kAnn, [&] { return row.plant(home_, secret_dir_, secret_); });
    const std::string out = box_->Path("pellreg.txt");
    const int status =
        Pellreg({"add", AnnKey("Software\\Corwent\\Pellam"), "/v", "Forward", "/d", "root", "/f"}, out);
    EXPECT_EQ(status, 1) << ReadTextFile(out);
    EXPECT_NE(ReadTextFile(out).find("denied"), std::string::npos) << ReadTextFile(out);
    ExpectRootsFilesUntouched();
  }
}

// A hard link to bob's hive in ann's directory (possible where the kernel's protection
// of hard links is off; root places it here) is neither read nor written.
TEST_F(HiveTakeover, AHardLinkToAnotherUsersHiveIsRefused) {
  AsUser(kBob, [] {
    platform::UniqueKey key;
    return platform::RegCreateKeyEx(platform::HKEY_CURRENT_USER, "Software\\Bobs", key.out()) == 0 ? 0 : 1;
  });
  const std::string bobs = box_->Path("home/bob/.pellam/registry.db");
  const Owned before = StateOf(bobs);
  AsUser(kAnn, [&] { return ::mkdir((home_ + "/.pellam").c_str(), 0700); });
  ASSERT_EQ(::link(bobs.c_str(), (home_ + "/.pellam/registry.db").c_str()), 0);
  platform::UniqueKey key;
  EXPECT_EQ(platform::RegOpenKeyEx(platform::HKEY_USERS, (platform::SidString(kAnn) + "\\Software\\Bobs").c_str(),
                                   platform::KEY_QUERY_VALUE, key.out()),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(StateOf(bobs), before);
}

// The directory root makes for ann is swapped, between its making and its opening, for
// a link to root's directory or for a directory of root's that sits in her home: both
// are refused, and neither changes owner.
TEST_F(HiveTakeover, NewDirectorySwappedBeforeItIsOpened) {
  const std::string roots_in_home = home_ + "/roots";
  fs::create_directories(roots_in_home);
  WriteTextFile(roots_in_home + "/kept", "root's\n");
  const std::function<bool()> swaps[] = {
      [&] { return ::symlink(secret_dir_.c_str(), (home_ + "/.pellam").c_str()) == 0; },
      [&] { return ::rename(roots_in_home.c_str(), (home_ + "/.pellam").c_str()) == 0; },
  };
  for (const auto& swap_in : swaps) {
    std::error_code ec;
    fs::remove_all(home_ + "/made", ec);
    fs::remove(home_ + "/.pellam", ec);  // the link of the row before, not what it leads to
    bool swapped = false;
    // Walk steps: ann's home and ~/.pellam while looking (missing), then the home and
    // ~/.pellam again while making it; the fifth comes right after the mkdir.
    fault::RunBeforeNth(fault::Op::Walk, 5, [&] {
      swapped = ::rename((home_ + "/.pellam").c_str(), (home_ + "/made").c_str()) == 0 && swap_in();
    });
    platform::UniqueKey key;
    EXPECT_EQ(platform::RegCreateKeyEx(platform::HKEY_USERS, (platform::SidString(kAnn) + "\\Software").c_str(),
                                       key.out()),
              ERROR_ACCESS_DENIED);
    EXPECT_TRUE(swapped) << "the swap must have run for the case to mean anything";
    ExpectRootsFilesUntouched();
    fault::Clear();
  }
  struct stat st{};
  ASSERT_EQ(::stat((home_ + "/.pellam").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 0u) << "root's directory from her home was given to her";
  EXPECT_EQ(ReadTextFile(home_ + "/.pellam/kept"), "root's\n");
}

// ann's hive is checked, then swapped just before SQLite opens it: for a FIFO (which
// would block root for good), a link to bob's hive, or another file of hers. SQLite
// opens only the file that was checked.
TEST_F(HiveTakeover, HiveSwappedBetweenTheCheckAndSqlitesOpen) {
  AsUser(kBob, [] {
    platform::UniqueKey key;
    return platform::RegCreateKeyEx(platform::HKEY_CURRENT_USER, "Software\\Mine", key.out()) == 0 ? 0 : 1;
  });
  const std::string bobs = box_->Path("home/bob/.pellam/registry.db");
  struct Row {
    const char* what;
    std::function<bool(const std::string& hive)> swap;
  };
  const Row rows[] = {
      {"a FIFO", [](const std::string& hive) { return ::mkfifo(hive.c_str(), 0600) == 0; }},
      {"a link to bob's hive", [&](const std::string& hive) { return ::symlink(bobs.c_str(), hive.c_str()) == 0; }},
      {"a copy of her hive", [](const std::string& hive) {
         std::error_code ec;
         return fs::copy_file(hive + ".aside", hive, ec) && ::chown(hive.c_str(), kAnn, kAnn) == 0;
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::error_code ec;
    fs::remove_all(home_ + "/.pellam", ec);
    AnnMakesHerHive();
    const std::string hive = home_ + "/.pellam/registry.db";
    bool swapped = false;
    // Walk steps: the home, ~/.pellam, registry.db; the fourth is SQLite's own open.
    fault::RunBeforeNth(fault::Op::Walk, 4, [&] {
      swapped = ::rename(hive.c_str(), (hive + ".aside").c_str()) == 0 && row.swap(hive);
    });
    const auto start = std::chrono::steady_clock::now();
    platform::UniqueKey key;
    const uint32_t code = platform::RegOpenKeyEx(
        platform::HKEY_USERS, (platform::SidString(kAnn) + "\\Software\\Mine").c_str(), platform::KEY_QUERY_VALUE,
        key.out());
    fault::Clear();
    EXPECT_TRUE(swapped);
    EXPECT_NE(code, 0u) << "the swapped file was opened";
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  }
}

// A 100 MB value in ann's hive, read into the 260-byte field it belongs in: the size
// is reported, and the value is not copied out for a buffer it cannot fit. (SQLite
// itself still reads a record that long whole while it seeks through the key's values;
// the service therefore reads profiles only in a child with the user's identity.)
TEST_F(HiveTakeover, AHugeValueIsMeasuredNotCopied) {
  constexpr size_t kHuge = size_t{100} << 20;
  AsUser(kAnn, [] {
    platform::UniqueKey key;
    if (platform::RegCreateKeyEx(platform::HKEY_CURRENT_USER, "Software\\Corwent\\Pellam", key.out()) != 0) return 1;
    const std::string huge(kHuge, 'x');
    return platform::RegSetValueEx(key.get(), "FullName", platform::REG_BINARY,
                                   reinterpret_cast<const uint8_t*>(huge.data()), static_cast<uint32_t>(huge.size()))
               == 0 ? 0 : 2;
  });
  const int status = pellam::test::RunInChild([] {
    rusage before{};
    ::getrusage(RUSAGE_SELF, &before);
    platform::UniqueKey key;
    if (platform::RegOpenKeyEx(platform::HKEY_USERS,
                               (platform::SidString(kAnn) + "\\Software\\Corwent\\Pellam").c_str(),
                               platform::KEY_QUERY_VALUE, key.out()) != 0) {
      return 1;
    }
    char name[260];
    uint32_t size = sizeof name;
    if (platform::RegQueryValueEx(key.get(), "FullName", nullptr, reinterpret_cast<uint8_t*>(name), &size) !=
            ERROR_MORE_DATA || size != kHuge) {
      return 2;
    }
    rusage after{};
    ::getrusage(RUSAGE_SELF, &after);
    return after.ru_maxrss - before.ru_maxrss < 150 * 1024 ? 0 : 3;  // kilobytes: one copy, not two
  });
  EXPECT_EQ(status, 0) << "1: not opened, 2: wrong result, 3: the value was copied out";
}

}  // namespace
