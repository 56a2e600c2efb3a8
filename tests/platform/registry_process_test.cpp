// The registry store between processes and users: concurrent writers, a locked hive,
// damaged hive files, the machine hive's permissions, other users' hives, and the
// connections a process keeps: across fork, under a replaced, removed, damaged or
// tampered hive, and within their bound.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <dirent.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "hive_cache.h"
#include "needs_root.h"
#include "platform/accounts.h"
#include "platform/errors.h"
#include "platform/registry.h"
#include "registry_values.h"
#include "sandbox.h"

namespace {

using pellam::test::QueryValue;
using pellam::test::QueryValueAt;
using pellam::test::Sandbox;
using pellam::test::SetNumber;
using pellam::test::SetString;
using platform::HKEY;
using platform::HKEY_CURRENT_USER;
using platform::HKEY_LOCAL_MACHINE;
using platform::HKEY_USERS;
using platform::UniqueKey;
using Clock = std::chrono::steady_clock;

// A child process started now and waited for later (RunInChild waits at once).
class Child {
 public:
  explicit Child(const std::function<int()>& body) {
    pid_ = ::fork();
    if (pid_ == 0) {
      int rc = 126;
      try {
        rc = body();
      } catch (...) {
      }
      ::_exit(rc);
    }
  }
  int Wait() {
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

 private:
  pid_t pid_ = -1;
};

// A one-shot signal between processes over a pipe.
class Signal {
 public:
  Signal() {
    if (::pipe(fds_) != 0) ADD_FAILURE() << "pipe";
  }
  ~Signal() {
    ::close(fds_[0]);
    ::close(fds_[1]);
  }
  void Raise(int times = 1) {
    for (int i = 0; i < times; ++i) (void)!::write(fds_[1], "x", 1);
  }
  bool WaitFor(int timeout_ms) {
    pollfd p{fds_[0], POLLIN, 0};
    char c;
    return ::poll(&p, 1, timeout_ms) == 1 && ::read(fds_[0], &c, 1) == 1;
  }

 private:
  int fds_[2] = {-1, -1};
};

class RegistryProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    sandbox_.AddCurrentUser("tester", "Test User");
    sandbox_.AddUser("ann", 2001, "Ann Smith", "/home/ann");
    sandbox_.AddUser("bob", 2002, "Bob Jones", "/home/bob");
    ::chmod(sandbox_.root().c_str(), 0755);  // other users must reach the hives
  }
  void TearDown() override {
    platform::SetRegistryLockTimeout(5000);
    platform::registry::SetKeptHiveLimit(8);
  }

  Sandbox sandbox_;
};

TEST_F(RegistryProcess, TwoWritersAtOnceLoseNothing) {
  UniqueKey key;
  ASSERT_EQ(platform::RegCreateKeyEx(HKEY_CURRENT_USER, "Load", key.out()), 0u);
  constexpr int kPerWriter = 500;
  platform::SetRegistryLockTimeout(5000);  // the layer's default bound
  Signal start;
  auto writer = [&start](int id) {
    return [&start, id] {
      if (!start.WaitFor(10000)) return 90;
      UniqueKey k;
      if (platform::RegOpenKeyEx(HKEY_CURRENT_USER, "Load", platform::KEY_ALL_ACCESS, k.out()) != 0)
        return 91;
      for (int n = 0; n < kPerWriter; ++n) {
        std::string name = "w" + std::to_string(id) + "-" + std::to_string(n);
        if (uint32_t code =
                SetNumber(k.get(), name.c_str(), static_cast<uint32_t>(id * 1000 + n))) {
          std::fprintf(stderr, "writer %d value %d: %u\n", id, n, code);
          return 1;
        }
      }
      return 0;
    };
  };
  Child first(writer(1));
  Child second(writer(2));
  start.Raise(2);
  EXPECT_EQ(first.Wait(), 0);
  EXPECT_EQ(second.Wait(), 0);

  uint32_t values = 0;
  ASSERT_EQ(platform::RegQueryInfoKey(key.get(), nullptr, nullptr, &values, nullptr, nullptr), 0u);
  EXPECT_EQ(values, 2u * kPerWriter);
  int wrong = 0;
  for (int id = 1; id <= 2; ++id) {
    for (int n = 0; n < kPerWriter; ++n) {
      std::string name = "w" + std::to_string(id) + "-" + std::to_string(n);
      uint32_t number = 0, size = sizeof number, type = 0;
      uint32_t code = platform::RegQueryValueEx(key.get(), name.c_str(), &type,
                                                reinterpret_cast<uint8_t*>(&number), &size);
      if (code != 0 || type != platform::REG_DWORD ||
          number != static_cast<uint32_t>(id * 1000 + n))
        ++wrong;
    }
  }
  EXPECT_EQ(wrong, 0);
}

TEST_F(RegistryProcess, TwoProcessesMakingTheSameNewHiveBothSucceed) {
  Signal start;
  auto maker = [&start](const char* name) {
    return [&start, name] {
      if (!start.WaitFor(10000)) return 90;
      UniqueKey k;
      return static_cast<int>(platform::RegCreateKeyEx(HKEY_LOCAL_MACHINE, name, k.out()));
    };
  };
  Child first(maker("Software\\First"));
  Child second(maker("Software\\Second"));
  start.Raise(2);
  EXPECT_EQ(first.Wait(), 0);
  EXPECT_EQ(second.Wait(), 0);
  for (const char* name : {"Software\\First", "Software\\Second"}) {
    UniqueKey k;
    EXPECT_EQ(platform::RegOpenKeyEx(HKEY_LOCAL_MACHINE, name, platform::KEY_READ, k.out()), 0u)
        << name;
  }
}

// A child holding a write transaction on the current user's hive for `hold_ms`.
class LockHolder {
 public:
  LockHolder(const std::string& hive, int hold_ms)
      : child_([this, hive, hold_ms] {
          sqlite3* db = nullptr;
          if (sqlite3_open_v2(hive.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            return 1;
          if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) return 2;
          locked_.Raise();
          std::this_thread::sleep_for(std::chrono::milliseconds(hold_ms));
          sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
          sqlite3_close(db);
          return 0;
        }) {}
  bool Locked() { return locked_.WaitFor(5000); }
  int Wait() { return child_.Wait(); }

 private:
  Signal locked_;
  Child child_;
};

TEST_F(RegistryProcess, ALockedHiveIsWaitedForTheBoundThenTimesOut) {
  UniqueKey key;
  ASSERT_EQ(platform::RegCreateKeyEx(HKEY_CURRENT_USER, "Locked", key.out()), 0u);
  ASSERT_EQ(SetString(key.get(), "Old", "value"), 0u);
  platform::SetRegistryLockTimeout(300);
  UniqueKey writer;  // opened before the lock, so the time-out is the only wait measured
  ASSERT_EQ(
      platform::RegOpenKeyEx(HKEY_CURRENT_USER, "Locked", platform::KEY_ALL_ACCESS, writer.out()),
      0u);

  LockHolder holder(platform::CurrentUserHivePath(), 3000);
  ASSERT_TRUE(holder.Locked());
  auto started = Clock::now();
  EXPECT_EQ(SetString(writer.get(), "New", "value"), ERROR_TIMEOUT);
  auto waited = Clock::now() - started;
  EXPECT_GE(waited, std::chrono::milliseconds(250));
  EXPECT_LT(waited, std::chrono::milliseconds(2500));
  UniqueKey sub;
  EXPECT_EQ(platform::RegCreateKeyEx(writer.get(), "Sub", sub.out()), ERROR_TIMEOUT);
  // Readers are not held up by a writer that has not begun to commit.
  EXPECT_EQ(QueryValueAt(HKEY_CURRENT_USER, "Locked", "Old").text(), "value");
  EXPECT_EQ(holder.Wait(), 0);
  EXPECT_EQ(SetString(writer.get(), "New", "value"), 0u);
  UniqueKey absent;
  EXPECT_EQ(platform::RegOpenKeyEx(writer.get(), "Sub", platform::KEY_READ, absent.out()),
            ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryProcess, AShortLockIsWaitedOut) {
  UniqueKey key;
  ASSERT_EQ(platform::RegCreateKeyEx(HKEY_CURRENT_USER, "Locked", key.out()), 0u);
  platform::SetRegistryLockTimeout(4000);
  LockHolder holder(platform::CurrentUserHivePath(), 300);
  ASSERT_TRUE(holder.Locked());
  auto started = Clock::now();
  EXPECT_EQ(SetString(key.get(), "New", "value"), 0u);
  EXPECT_GE(Clock::now() - started, std::chrono::milliseconds(150)) << "did not wait for the lock";
  EXPECT_EQ(holder.Wait(), 0);
}

// Ways a hive file can be broken, each written over the current user's hive.
void WriteGarbage(const std::string& path) {
  pellam::test::WriteTextFile(path, std::string(8192, '\x5A'));
}
void WriteEmpty(const std::string& path) { pellam::test::WriteTextFile(path, ""); }
void WriteForeignDatabase(const std::string& path) {
  ::unlink(path.c_str());
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  sqlite3_exec(db, "CREATE TABLE mail(id INTEGER, text TEXT); INSERT INTO mail VALUES(1, 'x');",
               nullptr, nullptr, nullptr);
  sqlite3_close(db);
}
void OverwriteSchema(const std::string& path) {
  // The first page holds the schema: keep the header, smash the rest of the page.
  std::string content = pellam::test::ReadTextFile(path);
  for (size_t i = 100; i < 4096 && i < content.size(); ++i) content[i] = '\xFF';
  pellam::test::WriteTextFile(path, content);
}
void SmashPages(const std::string& path) {
  std::string content = pellam::test::ReadTextFile(path);
  for (size_t i = 4096; i < content.size(); ++i) content[i] = static_cast<char>(i * 7);
  pellam::test::WriteTextFile(path, content);
}

TEST_F(RegistryProcess, ADamagedHiveGivesBadDbAndIsLeftAlone) {
  struct Row {
    const char* what;
    void (*damage)(const std::string&);
  };
  const Row rows[] = {{"garbage", WriteGarbage},
                      {"empty file", WriteEmpty},
                      {"another database", WriteForeignDatabase},
                      {"smashed schema", OverwriteSchema},
                      {"smashed pages", SmashPages}};
  const std::string hive = sandbox_.Path("/home/tester/.pellam/registry.db");
  for (const Row& row : rows) {
    ::unlink(hive.c_str());
    {
      UniqueKey key;
      ASSERT_EQ(platform::RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Corwent\\Pellam", key.out()),
                0u);
      for (int i = 0; i < 200; ++i)
        ASSERT_EQ(SetNumber(key.get(), ("v" + std::to_string(i)).c_str(), 1), 0u);
    }
    row.damage(hive);
    const std::string damaged = pellam::test::ReadTextFile(hive);
    UniqueKey key;
    EXPECT_EQ(platform::RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Corwent\\Pellam",
                                     platform::KEY_READ, key.out()),
              ERROR_BADDB)
        << row.what;
    EXPECT_EQ(QueryValueAt(HKEY_CURRENT_USER, "Software", "x").code, ERROR_BADDB) << row.what;
    uint32_t size = 0;
    EXPECT_EQ(platform::RegQueryValueEx(HKEY_CURRENT_USER, "x", nullptr, nullptr, &size),
              ERROR_BADDB)
        << row.what;
    EXPECT_EQ(platform::RegCreateKeyEx(HKEY_CURRENT_USER, "Software", key.out()), ERROR_BADDB)
        << row.what;
    EXPECT_EQ(SetString(HKEY_CURRENT_USER, "x", "y"), ERROR_BADDB) << row.what;
    EXPECT_EQ(
        platform::RegQueryInfoKey(HKEY_CURRENT_USER, nullptr, nullptr, nullptr, nullptr, nullptr),
        ERROR_BADDB)
        << row.what;
    EXPECT_EQ(pellam::test::ReadTextFile(hive), damaged) << row.what << ": the file was changed";
  }
}

// A writer killed half-way leaves a journal, and with the cache spilled, half-written
// pages in the hive itself. The next reader rolls it back and reads what was committed.
TEST_F(RegistryProcess, AWriterKilledInTheMiddleIsRolledBackByTheNextReader) {
  {
    UniqueKey key;
    ASSERT_EQ(platform::RegCreateKeyEx(HKEY_LOCAL_MACHINE, "Software\\Corwent\\Pellam", key.out()),
              0u);
    for (int i = 0; i < 100; ++i)
      ASSERT_EQ(SetString(key.get(), ("v" + std::to_string(i)).c_str(), "committed"), 0u);
  }
  const std::string hive = sandbox_.Path("/var/lib/pellam/registry/machine.db");
  Child writer([&hive] {
    sqlite3* db = nullptr;
    if (sqlite3_open(hive.c_str(), &db) != SQLITE_OK) return 1;
    const char* sql =
        "PRAGMA cache_size = 2; BEGIN IMMEDIATE;"
        "UPDATE \"values\" SET data = randomblob(2000);";
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) return 2;
    ::_exit(0);  // no commit, no close: as if killed
  });
  ASSERT_EQ(writer.Wait(), 0);
  struct stat st {};
  ASSERT_EQ(::stat((hive + "-journal").c_str(), &st), 0) << "the test left no journal";

  auto value = QueryValueAt(HKEY_LOCAL_MACHINE, "Software\\Corwent\\Pellam", "v42");
  EXPECT_EQ(value.code, 0u);
  EXPECT_EQ(value.text(), "committed");
  EXPECT_NE(::stat((hive + "-journal").c_str(), &st), 0) << "the journal is still there";
  UniqueKey key;
  ASSERT_EQ(platform::RegOpenKeyEx(HKEY_LOCAL_MACHINE, "Software\\Corwent\\Pellam",
                                   platform::KEY_READ, key.out()),
            0u);
  EXPECT_EQ(SetString(key.get(), "v0", "x"), ERROR_ACCESS_DENIED) << "a reader stays a reader";
}

TEST_F(RegistryProcess, TheMachineHiveIsReadableByAllButWritableOnlyByItsOwner) {
  PELLAM_NEEDS_ROOT("reads the machine hive as another account");
  {
    UniqueKey key;
    ASSERT_EQ(platform::RegCreateKeyEx(HKEY_LOCAL_MACHINE, "Software\\Corwent\\Pellam", key.out()),
              0u);
    ASSERT_EQ(SetString(key.get(), "MailQueuePath", "/var/spool/pellam/queue/"), 0u);
  }
  int failures = pellam::test::RunAsUser(2001, 2001, [] {
    int bad = 0;
    auto expect = [&bad](const char* what, uint32_t got, uint32_t want) {
      if (got != want) {
        std::fprintf(stderr, "%s: got %u, want %u\n", what, got, want);
        ++bad;
      }
    };
    auto queue = QueryValueAt(HKEY_LOCAL_MACHINE, "Software\\Corwent\\Pellam", "MailQueuePath");
    expect("read", queue.code, 0);
    if (queue.text() != "/var/spool/pellam/queue/") ++bad;
    UniqueKey key;
    expect("open for writing",
           platform::RegOpenKeyEx(HKEY_LOCAL_MACHINE, "Software\\Corwent\\Pellam",
                                  platform::KEY_ALL_ACCESS, key.out()),
           ERROR_ACCESS_DENIED);
    expect("create",
           platform::RegCreateKeyEx(HKEY_LOCAL_MACHINE, "Software\\Corwent\\Pellam", key.out()),
           ERROR_ACCESS_DENIED);
    expect("set on the root", SetString(HKEY_LOCAL_MACHINE, "x", "y"), ERROR_ACCESS_DENIED);
    expect("delete key", platform::RegDeleteKey(HKEY_LOCAL_MACHINE, "Software\\Corwent\\Pellam"),
           ERROR_ACCESS_DENIED);
    return bad;
  });
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(QueryValueAt(HKEY_LOCAL_MACHINE, "Software\\Corwent\\Pellam", "MailQueuePath").text(),
            "/var/spool/pellam/queue/");
}

TEST_F(RegistryProcess, RootReachesAnotherUsersHiveAndMakesItTheirs) {
  PELLAM_NEEDS_ROOT("writes another user's hive and acts as that user");
  const std::string sid = platform::SidString(2001);
  {
    UniqueKey key;
    ASSERT_EQ(platform::RegCreateKeyEx(HKEY_USERS, (sid + "\\Software\\Corwent\\Pellam").c_str(),
                                       key.out()),
              0u);
    ASSERT_EQ(SetString(key.get(), "FullName", "Ann from root"), 0u);
  }
  EXPECT_EQ(platform::UserHivePath(2001), sandbox_.Path("/home/ann/.pellam/registry.db"));
  for (const std::string& path :
       {sandbox_.Path("/home/ann/.pellam/registry.db"), sandbox_.Path("/home/ann/.pellam")}) {
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0) << path;
    EXPECT_EQ(st.st_uid, 2001u) << path;
    EXPECT_EQ(st.st_gid, 2001u) << path;
    EXPECT_EQ(st.st_mode & 07777, S_ISDIR(st.st_mode) ? 0700u : 0600u) << path;
  }

  // Ann sees it as her own hive and may write it.
  int ann = pellam::test::RunAsUser(2001, 2001, [] {
    if (QueryValueAt(HKEY_CURRENT_USER, "Software\\Corwent\\Pellam", "FullName").text() !=
        "Ann from root")
      return 1;
    UniqueKey key;
    if (platform::RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Corwent\\Pellam",
                               platform::KEY_ALL_ACCESS, key.out()) != 0)
      return 2;
    return SetString(key.get(), "Forward", "ann@elsewhere") == 0 ? 0 : 3;
  });
  EXPECT_EQ(ann, 0);
  EXPECT_EQ(QueryValueAt(HKEY_USERS, "s-1-22-1-2001\\Software\\Corwent\\Pellam", "Forward").text(),
            "ann@elsewhere");

  // Bob may not read it.
  int bob = pellam::test::RunAsUser(2002, 2002, [&sid] {
    UniqueKey key;
    return static_cast<int>(platform::RegOpenKeyEx(HKEY_USERS, (sid + "\\Software").c_str(),
                                                   platform::KEY_READ, key.out()));
  });
  EXPECT_EQ(bob, static_cast<int>(ERROR_ACCESS_DENIED));

  struct Row {
    const char* path;
    uint32_t code;
  };
  const Row rows[] = {
      {"S-1-22-1-2002\\Software", ERROR_FILE_NOT_FOUND},  // bob has no hive yet
      {"S-1-22-1-4242\\Software", ERROR_FILE_NOT_FOUND},  // no such account
      {"S-1-5-18\\Software", ERROR_FILE_NOT_FOUND},       // not a SID of this system
      {"S-1-22-1-2001\\Software\\Nothing", ERROR_FILE_NOT_FOUND},
      {"S-1-22-1-2001", 0},
      {"", ERROR_INVALID_PARAMETER},
  };
  for (const Row& row : rows) {
    UniqueKey key;
    EXPECT_EQ(platform::RegOpenKeyEx(HKEY_USERS, row.path, platform::KEY_READ, key.out()), row.code)
        << row.path;
  }
}

TEST_F(RegistryProcess, AUserMakesTheirOwnHive) {
  PELLAM_NEEDS_ROOT("acts as another account");
  int rc = pellam::test::RunAsUser(2002, 2002, [] {
    UniqueKey key;
    return static_cast<int>(
        platform::RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Corwent\\Pellam", key.out()));
  });
  ASSERT_EQ(rc, 0);
  struct stat st {};
  ASSERT_EQ(::stat(sandbox_.Path("/home/bob/.pellam/registry.db").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 2002u);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
}

TEST_F(RegistryProcess, AHiveThatIsALinkIsRefused) {
  // A user could point root's writes at any file through a link named like the hive.
  {
    UniqueKey key;
    ASSERT_EQ(platform::RegCreateKeyEx(HKEY_LOCAL_MACHINE, "Software", key.out()), 0u);
  }
  ASSERT_EQ(::mkdir(sandbox_.Path("/home/ann/.pellam").c_str(), 0700), 0);
  ASSERT_EQ(::symlink(platform::MachineHivePath().c_str(),
                      sandbox_.Path("/home/ann/.pellam/registry.db").c_str()),
            0);
  UniqueKey key;
  EXPECT_EQ(platform::RegCreateKeyEx(HKEY_USERS, "S-1-22-1-2001\\Software\\Corwent", key.out()),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(
      platform::RegOpenKeyEx(HKEY_USERS, "S-1-22-1-2001\\Software", platform::KEY_READ, key.out()),
      ERROR_ACCESS_DENIED);
  EXPECT_EQ(platform::RegOpenKeyEx(HKEY_LOCAL_MACHINE, "Software\\Corwent", platform::KEY_READ,
                                   key.out()),
            ERROR_FILE_NOT_FOUND);
}

// ---- Kept connections ---------------------------------------------------------

using platform::registry::HiveOpenCount;
using platform::registry::KeptHiveCount;

// How many descriptors of this process lead to a file whose name ends in `suffix`.
int OpenDescriptorsEndingIn(const std::string& suffix) {
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code ec;
    const std::string target = std::filesystem::read_symlink(entry.path(), ec).string();
    if (!ec && target.size() >= suffix.size() && target.compare(target.size() - suffix.size(), suffix.size(), suffix) == 0) {
      ++count;
    }
  }
  return count;
}

TEST_F(RegistryProcess, AChildOpensItsOwnConnectionAndLeavesItsParentsAlone) {
  UniqueKey key;
  ASSERT_EQ(platform::RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Kept", key.out()), 0u);
  ASSERT_EQ(SetString(key.get(), "Who", "parent"), 0u);
  const int child = pellam::test::RunInChild([&key] {
    // The parent's handle works here too, on a connection of the child's own.
    if (QueryValue(key.get(), "Who").text() != "parent") return 1;
    if (HiveOpenCount() != 1 || KeptHiveCount() != 1) return 2;
    if (uint32_t code = SetString(key.get(), "Who", "child")) {
      std::fprintf(stderr, "child's write: %u\n", code);
      return 3;
    }
    std::exit(0);  // a normal exit runs every destructor the child has
  });
  EXPECT_EQ(child, 0) << "1: not read, 2: the parent's connection was used, 3: not written";
  // The parent's connections still serve it, and see the child's write.
  EXPECT_EQ(QueryValue(key.get(), "Who").text(), "child");
  EXPECT_EQ(SetString(key.get(), "Who", "parent again"), 0u);
  EXPECT_EQ(QueryValueAt(HKEY_CURRENT_USER, "Software\\Kept", "Who").text(), "parent again");
}

TEST_F(RegistryProcess, AKeptConnectionHoldsNothingBetweenCalls) {
  UniqueKey key;
  ASSERT_EQ(platform::RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Kept", key.out()), 0u);
  ASSERT_EQ(SetNumber(key.get(), "N", 0), 0u);
  platform::SetRegistryLockTimeout(500);
  for (uint32_t n = 1; n <= 5; ++n) {
    ASSERT_EQ(QueryValue(key.get(), "N").code, 0u);
    // A read lock kept from that read would make this writer's commit time out.
    const int child = pellam::test::RunInChild([n] {
      UniqueKey k;
      if (platform::RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Kept", platform::KEY_ALL_ACCESS, k.out()) != 0)
        return 1;
      return SetNumber(k.get(), "N", n) == 0 ? 0 : 2;
    });
    ASSERT_EQ(child, 0) << n;
    uint32_t got = 0, size = sizeof got;
    ASSERT_EQ(platform::RegQueryValueEx(key.get(), "N", nullptr, reinterpret_cast<uint8_t*>(&got), &size), 0u);
    EXPECT_EQ(got, n) << "the other process's write was not seen";
  }
}

TEST_F(RegistryProcess, AHiveReplacedOrRemovedUnderAKeptConnectionIsNoticed) {
  const std::string hive = sandbox_.Path("/home/tester/.pellam/registry.db");
  UniqueKey key;
  ASSERT_EQ(platform::RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Kept", key.out()), 0u);
  ASSERT_EQ(SetString(key.get(), "Version", "first"), 0u);
  std::filesystem::copy_file(hive, hive + ".first");
  ASSERT_EQ(SetString(key.get(), "Version", "second"), 0u);

  // Replaced: another file now stands under the hive's name.
  ASSERT_EQ(::rename((hive + ".first").c_str(), hive.c_str()), 0);
  const uint64_t opened = HiveOpenCount();
  EXPECT_EQ(QueryValueAt(HKEY_CURRENT_USER, "Software\\Kept", "Version").text(), "first");
  EXPECT_EQ(HiveOpenCount(), opened + 1) << "the kept connection was used on the old file";
  EXPECT_EQ(QueryValue(key.get(), "Version").code, ERROR_KEY_DELETED) << "a handle on the file replaced";

  // Removed: reads find nothing and make nothing; a write makes a new hive.
  UniqueKey current;
  ASSERT_EQ(platform::RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Kept", platform::KEY_ALL_ACCESS, current.out()), 0u);
  ASSERT_EQ(::unlink(hive.c_str()), 0);
  EXPECT_EQ(QueryValueAt(HKEY_CURRENT_USER, "Software\\Kept", "Version").code, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(QueryValue(current.get(), "Version").code, ERROR_KEY_DELETED);
  EXPECT_EQ(SetString(current.get(), "Version", "x"), ERROR_KEY_DELETED);
  struct stat st {};
  EXPECT_NE(::stat(hive.c_str(), &st), 0) << "a read made a hive";
  EXPECT_EQ(SetString(HKEY_CURRENT_USER, "Fresh", "yes"), 0u);
  EXPECT_EQ(QueryValue(HKEY_CURRENT_USER, "Fresh").text(), "yes");
}

TEST_F(RegistryProcess, AKeptConnectionToAHiveDamagedInPlaceGivesBadDbUntilItIsRepaired) {
  const std::string hive = sandbox_.Path("/home/tester/.pellam/registry.db");
  UniqueKey key;
  ASSERT_EQ(platform::RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Kept", key.out()), 0u);
  for (int i = 0; i < 200; ++i) ASSERT_EQ(SetNumber(key.get(), ("v" + std::to_string(i)).c_str(), 7), 0u);
  ASSERT_EQ(QueryValue(key.get(), "v1").code, 0u);
  const std::string good = pellam::test::ReadTextFile(hive);
  // Same file, same header: only the pages behind it are smashed.
  std::string smashed = good;
  for (size_t i = 100; i < smashed.size(); ++i) smashed[i] = static_cast<char>(i * 13);
  pellam::test::WriteTextFile(hive, smashed);
  EXPECT_EQ(QueryValue(key.get(), "v1").code, ERROR_BADDB);
  EXPECT_EQ(SetNumber(key.get(), "v1", 8), ERROR_BADDB);
  EXPECT_EQ(QueryValueAt(HKEY_CURRENT_USER, "Software\\Kept", "v1").code, ERROR_BADDB);
  EXPECT_EQ(pellam::test::ReadTextFile(hive), smashed) << "the damaged hive was written";
  pellam::test::WriteTextFile(hive, good);
  EXPECT_EQ(QueryValue(key.get(), "v1").code, 0u);
  EXPECT_EQ(SetNumber(key.get(), "v1", 8), 0u);
}

// A statement kept by a connection whose hive's tables were changed under it fails
// cleanly, and works again once the tables are as they were.
TEST_F(RegistryProcess, KeptStatementsSurviveTheHivesTablesChangingUnderThem) {
  UniqueKey key;
  ASSERT_EQ(platform::RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Kept", key.out()), 0u);
  ASSERT_EQ(SetString(key.get(), "Name", "value"), 0u);
  std::unique_ptr<platform::registry::Hive> hive;
  platform::registry::HiveLocation location;
  ASSERT_EQ(platform::registry::UserHive(::geteuid(), &location), 0u);
  ASSERT_EQ(platform::registry::Hive::Open(location, true, false, &hive), 0u);
  int64_t id = 0;
  platform::registry::Value value;
  ASSERT_EQ(hive->FindKey(platform::registry::kRootKey, "Software\\Kept", &id), 0u);
  ASSERT_EQ(hive->GetValue(id, "Name", &value), 0u);  // the statements are prepared now

  const auto change = [&](const char* sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(location.path.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
  };
  change("ALTER TABLE \"values\" RENAME COLUMN data TO contents");
  EXPECT_EQ(hive->GetValue(id, "Name", &value), ERROR_BADDB);
  EXPECT_EQ(hive->SetValue(id, "Name", value), ERROR_BADDB);
  change("ALTER TABLE \"values\" RENAME COLUMN contents TO data");
  ASSERT_EQ(hive->GetValue(id, "Name", &value), 0u);
  EXPECT_EQ(value.data, std::string("value\0", 6));
  change("DROP TABLE keys");
  int64_t again = 0;
  EXPECT_EQ(hive->FindKey(platform::registry::kRootKey, "Software\\Kept", &again), ERROR_BADDB);
}

TEST_F(RegistryProcess, AKeptHiveTamperedWithIsCheckedAgainAndRefused) {
  PELLAM_NEEDS_ROOT("root keeps ann's hive while ann's files change");
  const std::string sid = platform::SidString(2001);
  const std::string hive = sandbox_.Path("/home/ann/.pellam/registry.db");
  const std::string dir = sandbox_.Path("/home/ann/.pellam");
  struct Row {
    const char* what;
    std::function<bool()> tamper;
    std::function<bool()> undo;
  };
  const Row rows[] = {
      {"the hive a link to itself",
       [&] { return ::rename(hive.c_str(), (hive + ".real").c_str()) == 0 && ::symlink("registry.db.real", hive.c_str()) == 0; },
       [&] { return ::unlink(hive.c_str()) == 0 && ::rename((hive + ".real").c_str(), hive.c_str()) == 0; }},
      {"the hive writable by others", [&] { return ::chmod(hive.c_str(), 0666) == 0; },
       [&] { return ::chmod(hive.c_str(), 0600) == 0; }},
      {"the hive with a second link", [&] { return ::link(hive.c_str(), (dir + "/second").c_str()) == 0; },
       [&] { return ::unlink((dir + "/second").c_str()) == 0; }},
      {"the directory writable by others", [&] { return ::chmod(dir.c_str(), 0777) == 0; },
       [&] { return ::chmod(dir.c_str(), 0700) == 0; }},
      {"the directory swapped for a link",
       [&] { return ::rename(dir.c_str(), (dir + ".real").c_str()) == 0 && ::symlink(".pellam.real", dir.c_str()) == 0; },
       [&] { return ::unlink(dir.c_str()) == 0 && ::rename((dir + ".real").c_str(), dir.c_str()) == 0; }},
  };
  const std::string path = sid + "\\Software\\Corwent\\Pellam";
  {
    UniqueKey key;
    ASSERT_EQ(platform::RegCreateKeyEx(HKEY_USERS, path.c_str(), key.out()), 0u);
    ASSERT_EQ(SetString(key.get(), "FullName", "Ann"), 0u);
  }
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ASSERT_EQ(QueryValueAt(HKEY_USERS, path.c_str(), "FullName").text(), "Ann");  // kept from here on
    ASSERT_TRUE(row.tamper());
    EXPECT_EQ(QueryValueAt(HKEY_USERS, path.c_str(), "FullName").code, ERROR_ACCESS_DENIED);
    UniqueKey written;
    EXPECT_EQ(platform::RegCreateKeyEx(HKEY_USERS, path.c_str(), written.out()), ERROR_ACCESS_DENIED);
    ASSERT_TRUE(row.undo());
  }
}

TEST_F(RegistryProcess, NoMoreHivesAreKeptOpenThanTheBound) {
  PELLAM_NEEDS_ROOT("root reads many users' hives");
  platform::registry::SetKeptHiveLimit(3);
  for (uint32_t uid = 3001; uid <= 3006; ++uid) {
    sandbox_.AddUser("user" + std::to_string(uid), uid, "User", "/home/user" + std::to_string(uid));
    UniqueKey key;
    ASSERT_EQ(platform::RegCreateKeyEx(HKEY_USERS, (platform::SidString(uid) + "\\Software").c_str(), key.out()), 0u);
    ASSERT_EQ(SetNumber(key.get(), "Uid", uid), 0u);
  }
  EXPECT_LE(KeptHiveCount(), 3u);
  EXPECT_LE(OpenDescriptorsEndingIn("/registry.db"), 3);
  EXPECT_LE(OpenDescriptorsEndingIn("/.pellam"), 3);
  // The first user's hive, let go long ago, is opened again.
  const uint64_t opened = HiveOpenCount();
  EXPECT_EQ(QueryValueAt(HKEY_USERS, (platform::SidString(3001) + "\\Software").c_str(), "Uid").code, 0u);
  EXPECT_EQ(HiveOpenCount(), opened + 1);
}

}  // namespace
