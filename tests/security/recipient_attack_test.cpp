// "One user stalls delivery for everyone" and "root reads another user's profile":
// bob, a recipient, links his hive to carl's, makes his hive or counter file a FIFO,
// keeps them locked, stops the process that works for him, or fills his hive with a
// huge value. The service now reads bob's profile only as bob, defers bob with an event
// naming what is wrong, serves carl meanwhile, and stops on SIGTERM whatever bob does.
// (ann is the sandbox's poster, root here.)
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "needs_root.h"
#include "pellam.h"
#include "platform/errors.h"
#include "platform/fault.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "service_sandbox.h"
#include "user_process.h"

namespace {

namespace fs = std::filesystem;
using pellam::test::ReadTextFile;
using pellam::test::ServiceSandbox;
using Clock = std::chrono::steady_clock;
using Names = std::vector<std::string>;

constexpr uid_t kBob = 2201;
constexpr uid_t kCarl = 2202;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A process of bob's that does `hold` (takes a lock, say), reports through a pipe and
// keeps what it holds until Release (or 20 s).
class Holder {
 public:
  Holder(uid_t uid, std::function<bool()> hold) {
    int ready[2], release[2];
    if (::pipe(ready) != 0 || ::pipe(release) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::alarm(20);
      ::close(ready[0]);
      ::close(release[1]);
      if (::setgid(uid) != 0 || ::setuid(uid) != 0) ::_exit(1);
      const char ok = hold() ? 1 : 0;
      if (::write(ready[1], &ok, 1) != 1) ::_exit(2);
      char byte;
      [[maybe_unused]] const ssize_t n = ::read(release[0], &byte, 1);
      ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    release_ = release[1];
    char ok = 0;
    held_ = ::read(ready[0], &ok, 1) == 1 && ok == 1;
    ::close(ready[0]);
  }
  ~Holder() { Release(); }
  bool held() const { return held_; }
  void Release() {
    if (release_ >= 0) ::close(release_);
    release_ = -1;
    if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  int release_ = -1;
  bool held_ = false;
};

class RecipientAttack : public ::testing::Test {
 protected:
  void SetUp() override {
    PELLAM_NEEDS_ROOT("bob and carl are real accounts with their own uids");
    s_.reset();  // one sandbox at a time: each restores the root it found
    s_ = std::make_unique<ServiceSandbox>();
    s_->AddUser("bob", kBob);
    s_->AddUser("carl", kCarl);
  }
  void TearDown() override { pellam::service::SetUserWorkLimits(pellam::service::kDefaultUserWorkMs, -1); }

  std::string Home(const std::string& user) const { return s_->box().Path("home/" + user); }
  void AsBob(const std::function<int()>& body) { ASSERT_EQ(pellam::test::RunAsUser(kBob, kBob, body), 0); }

  // Posts to bob and carl and runs the service; how long it took.
  Clock::duration PostAndDrain() {
    s_->Post("To: bob, carl\r\nSubject: for both\r\n\r\nhello\r\n");
    const auto start = Clock::now();
    s_->Drain();
    return Clock::now() - start;
  }

  // bob was deferred: his copy is still queued and nothing reached his folder.
  void ExpectBobDeferredCarlServed() {
    EXPECT_EQ(s_->Messages("carl"), Names{"msg0001.mai"}) << s_->LogText();
    EXPECT_TRUE(s_->Messages("bob").empty());
    EXPECT_FALSE(s_->QueueFiles().empty()) << "bob's copy was dropped instead of deferred";
    EXPECT_TRUE(s_->Logged(EVT_DELIVERY_FAILED)) << s_->LogText();
  }

  std::unique_ptr<ServiceSandbox> s_;
};

// bob's ~/.pellam leads to carl's hive, where carl forwards his mail to ann: were carl's
// profile read for bob, bob's mail would go to ann too.
TEST_F(RecipientAttack, AHiveLinkedToAnotherUsersIsNotRead) {
  s_->SetProfile("carl", "ann", -1, -1);
  AsBob([&] {
    return ::rename((Home("bob") + "/.pellam").c_str(), (Home("bob") + "/old").c_str()) == 0 &&
                   ::symlink((Home("carl") + "/.pellam").c_str(), (Home("bob") + "/.pellam").c_str()) == 0
               ? 0
               : 1;
  });
  PostAndDrain();
  EXPECT_EQ(s_->Messages("ann").size(), 1u) << "only carl's copy is forwarded to ann\n" << s_->LogText();
  EXPECT_TRUE(s_->Messages("bob").empty());
  EXPECT_TRUE(Contains(s_->LogText(), Home("bob") + "/.pellam/registry.db")) << "the event names bob's hive\n"
                                                                            << s_->LogText();
  EXPECT_FALSE(s_->QueueFiles().empty()) << "bob is deferred, not dropped";
}

// FIFOs where bob's files belong: the hive, the counter file of "new".
TEST_F(RecipientAttack, FifosInTheRecipientsFilesNeverBlock) {
  struct Row {
    const char* what;
    std::function<int(const std::string& home)> plant;
  };
  const Row rows[] = {
      {"registry.db",
       [](const std::string& home) {
         const std::string hive = home + "/.pellam/registry.db";
         return ::unlink(hive.c_str()) == 0 && ::mkfifo(hive.c_str(), 0600) == 0 ? 0 : 1;
       }},
      {"#serial.dat",
       [](const std::string& home) {
         std::error_code ec;
         fs::create_directories(home + "/mail/new", ec);
         return ::mkfifo((home + "/mail/new/#serial.dat").c_str(), 0600) == 0 ? 0 : 1;
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    s_.reset();  // one sandbox at a time: each restores the root it found
    s_ = std::make_unique<ServiceSandbox>();
    s_->AddUser("bob", kBob);
    s_->AddUser("carl", kCarl);
    AsBob([&] { return row.plant(Home("bob")); });
    EXPECT_LT(PostAndDrain(), std::chrono::seconds(5));
    ExpectBobDeferredCarlServed();
  }
}

// bob keeps his hive (a write transaction) or his counter file (its lock) held: he is
// deferred at once, not waited for, and served once he lets go.
TEST_F(RecipientAttack, ABusyRecipientIsDeferredNotWaitedFor) {
  struct Row {
    const char* what;
    std::function<bool(const std::string& home)> hold;
  };
  const Row rows[] = {
      {"hive",
       [](const std::string& home) {
         sqlite3* db = nullptr;
         const std::string hive = home + "/.pellam/registry.db";
         return sqlite3_open(hive.c_str(), &db) == SQLITE_OK &&
                sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK;
       }},
      {"counter",
       [](const std::string& home) {
         std::error_code ec;
         fs::create_directories(home + "/mail/new", ec);
         const std::string counter = home + "/mail/new/#serial.dat";
         return platform::CreateFile(counter.c_str(), platform::kReadWrite, platform::kShareNone,
                                     platform::kOpenAlways) != platform::kInvalidFile;
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    s_.reset();  // one sandbox at a time: each restores the root it found
    s_ = std::make_unique<ServiceSandbox>();
    s_->AddUser("bob", kBob);
    s_->AddUser("carl", kCarl);
    const std::string home = Home("bob");
    Holder holder(kBob, [&] { return row.hold(home); });
    ASSERT_TRUE(holder.held());
    EXPECT_LT(PostAndDrain(), std::chrono::seconds(3)) << "bob was waited for";
    ExpectBobDeferredCarlServed();
    holder.Release();
    s_->Drain();
    EXPECT_EQ(s_->Messages("bob"), Names{"msg0001.mai"}) << s_->LogText();
    EXPECT_TRUE(s_->QueueFiles().empty());
  }
}

// The children that work for a user: a stopped one is killed at its deadline, and one
// is killed at once when the service is asked to stop. Either way none is left.
TEST_F(RecipientAttack, AStoppedChildIsKilledAtItsDeadlineOrOnAStop) {
  platform::Account bob;
  ASSERT_EQ(platform::LookupAccountByName("bob", &bob), 0u);
  const auto stop_self = [](std::string*) -> uint32_t {
    ::raise(SIGSTOP);
    return 0;
  };
  pellam::service::SetUserWorkLimits(300, -1);
  auto start = Clock::now();
  EXPECT_EQ(pellam::service::RunAsUser(bob, stop_self), ERROR_TIMEOUT);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));

  int stop[2];
  ASSERT_EQ(::pipe(stop), 0);
  pellam::service::SetUserWorkLimits(60000, stop[0]);
  std::thread requester([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    [[maybe_unused]] const ssize_t n = ::write(stop[1], "x", 1);
  });
  start = Clock::now();
  EXPECT_EQ(pellam::service::RunAsUser(bob, stop_self), ERROR_OPERATION_ABORTED);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
  requester.join();
  ::close(stop[0]);
  ::close(stop[1]);
  // Both children were reaped: none of this process's children is left.
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

// The child deciding on bob's automatic reply runs out of time (the fourth child of
// the job: profile, staging, placing, reply): bob keeps his one copy, and the reply is
// decided again, and sent once, on the next pass.
TEST_F(RecipientAttack, AReplyChildPastItsDeadlineIsRetriedNotLost) {
  s_->SetProfile("bob", "", 3, -1);
  pellam::test::WriteTextFile(s_->MailDirectory("bob") + "autorep.txt", "away\r\n");
  ASSERT_EQ(::chown(s_->MailDirectory("bob").c_str(), kBob, kBob), 0);
  ASSERT_EQ(::chown((s_->MailDirectory("bob") + "autorep.txt").c_str(), kBob, kBob), 0);
  s_->Post("To: bob\r\nSubject: hi\r\n\r\nhello\r\n");
  {
    platform::fault::Scope scope;
    platform::fault::FailNth(platform::fault::Op::Child, 4, ERROR_TIMEOUT);
    s_->Drain();
  }
  EXPECT_EQ(s_->Messages("bob"), Names{"msg0001.mai"}) << s_->LogText();
  EXPECT_TRUE(s_->Messages("ann").empty()) << "no reply yet";
  EXPECT_FALSE(s_->QueueFiles().empty()) << "the reply was given up";
  s_->Drain();
  EXPECT_EQ(s_->Messages("bob"), Names{"msg0001.mai"}) << "delivered twice\n" << s_->LogText();
  ASSERT_EQ(s_->Messages("ann").size(), 1u) << s_->LogText();
  EXPECT_TRUE(Contains(s_->Contents("ann")[0], "away"));
  EXPECT_TRUE(s_->QueueFiles().empty());
}

// bob's "FullName" is 100 MB: only bob's child, never the service, holds it.
TEST_F(RecipientAttack, AHugeValueInTheRecipientsHiveCostsTheServiceNothing) {
  AsBob([] {
    platform::UniqueKey key;
    if (platform::RegCreateKeyEx(platform::HKEY_CURRENT_USER, PELLAM_PARAMETERS_KEY, key.out()) != 0) return 1;
    const std::string huge(size_t{100} << 20, 'x');
    return platform::RegSetValueEx(key.get(), "FullName", platform::REG_SZ,
                                   reinterpret_cast<const uint8_t*>(huge.data()), static_cast<uint32_t>(huge.size()))
               == 0 ? 0 : 2;
  });
  s_->Post("To: bob, carl\r\nSubject: for both\r\n\r\nhello\r\n");
  const int status = pellam::test::RunInChild([&] {
    rusage before{};
    ::getrusage(RUSAGE_SELF, &before);
    s_->Drain();
    rusage after{};
    ::getrusage(RUSAGE_SELF, &after);
    if (s_->Messages("carl").size() != 1) return 1;
    return after.ru_maxrss - before.ru_maxrss < 16 * 1024 ? 0 : 2;  // kilobytes
  });
  EXPECT_EQ(status, 0) << "1: carl not served, 2: the service's memory grew by the value";
}

// --- the service program itself, with bob stopping the process that works for him ---

pid_t StartService(const std::string& output) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    ::dup2(fd, 1);
    ::dup2(fd, 2);
    ::execl(PELLAM_SERVICE_BINARY, PELLAM_SERVICE_BINARY, "--foreground", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  return pid;
}

// Processes whose parent is `parent` and whose real uid is `uid`.
std::vector<pid_t> ChildrenOf(pid_t parent, uid_t uid) {
  std::vector<pid_t> found;
  DIR* proc = ::opendir("/proc");
  if (proc == nullptr) return found;
  while (dirent* entry = ::readdir(proc)) {
    const pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
    if (pid <= 0) continue;
    std::ifstream status("/proc/" + std::string(entry->d_name) + "/status");
    std::string line;
    pid_t ppid = -1;
    uid_t real = static_cast<uid_t>(-1);
    while (std::getline(status, line)) {
      if (line.rfind("PPid:", 0) == 0) ppid = static_cast<pid_t>(std::atoi(line.c_str() + 5));
      if (line.rfind("Uid:", 0) == 0) real = static_cast<uid_t>(std::atoi(line.c_str() + 4));
    }
    if (ppid == parent && real == uid) found.push_back(pid);
  }
  ::closedir(proc);
  return found;
}

// As bob, stops the first process the service starts for him; its pid, or -1.
pid_t StopBobsChild(pid_t service) {
  int report[2];
  if (::pipe(report) != 0) return -1;
  const pid_t watcher = ::fork();
  if (watcher == 0) {
    ::alarm(15);
    if (::setgid(kBob) != 0 || ::setuid(kBob) != 0) ::_exit(1);
    for (;;) {
      for (pid_t child : ChildrenOf(service, kBob)) {
        if (::kill(child, SIGSTOP) == 0) {
          [[maybe_unused]] const ssize_t n = ::write(report[1], &child, sizeof child);
          ::_exit(0);
        }
      }
      ::usleep(500);
    }
  }
  ::close(report[1]);
  pid_t stopped = -1;
  if (::read(report[0], &stopped, sizeof stopped) != sizeof stopped) stopped = -1;
  ::close(report[0]);
  ::waitpid(watcher, nullptr, 0);
  return stopped;
}

bool Gone(pid_t pid) { return ::kill(pid, 0) != 0 && errno == ESRCH; }

bool WaitExit(pid_t pid, std::chrono::milliseconds limit, int* status) {
  const auto end = Clock::now() + limit;
  while (Clock::now() < end) {
    if (::waitpid(pid, status, WNOHANG) == pid) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

// bob's hive is held, so the child reading his profile waits a moment, long enough for
// bob to stop it. With a deadline of 1 s the service kills it and serves carl; with a
// long one, SIGTERM still ends the service (and the child) within seconds.
TEST_F(RecipientAttack, TheServiceServesOthersAndStopsWhateverTheChildDoes) {
  for (const bool deadline_first : {true, false}) {
    SCOPED_TRACE(deadline_first ? "deadline" : "SIGTERM");
    s_.reset();  // one sandbox at a time: each restores the root it found
    s_ = std::make_unique<ServiceSandbox>();
    s_->AddUser("bob", kBob);
    s_->AddUser("carl", kCarl);
    s_->SetSystemNumber("UserProcessTimeout", deadline_first ? 1000 : 60000);
    const std::string hive = Home("bob") + "/.pellam/registry.db";
    Holder holder(kBob, [&] {
      sqlite3* db = nullptr;
      return sqlite3_open(hive.c_str(), &db) == SQLITE_OK &&
             sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK;
    });
    ASSERT_TRUE(holder.held());
    s_->Post("To: bob, carl\r\nSubject: for both\r\n\r\nhello\r\n");
    const std::string out = s_->box().Path("out.txt");
    const pid_t service = StartService(out);
    const pid_t stopped = StopBobsChild(service);
    ASSERT_GT(stopped, 0) << "bob's child was never seen";
    int status = -1;
    if (deadline_first) {
      const auto end = Clock::now() + std::chrono::seconds(10);
      while (Clock::now() < end && s_->Messages("carl").empty()) std::this_thread::sleep_for(std::chrono::milliseconds(20));
      EXPECT_EQ(s_->Messages("carl"), Names{"msg0001.mai"}) << ReadTextFile(out);
      EXPECT_TRUE(Gone(stopped)) << "the stopped child outlived its deadline";
      EXPECT_TRUE(Contains(ReadTextFile(out), "timeout")) << ReadTextFile(out);
    }
    const auto asked = Clock::now();
    ::kill(service, SIGTERM);
    ASSERT_TRUE(WaitExit(service, std::chrono::seconds(5), &status)) << "no stop within 5 s\n" << ReadTextFile(out);
    EXPECT_LT(Clock::now() - asked, std::chrono::seconds(3));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(Gone(stopped)) << "the stopped child outlived the service";
    EXPECT_TRUE(s_->Messages("bob").empty());
  }
}

}  // namespace
