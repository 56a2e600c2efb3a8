// The built pellam program, run as the system runs it: its command line, a whole
// delivery in the foreground, a stop request answered at once, and kill -9 at random
// points while it works through many recipients.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "needs_root.h"
#include "service_sandbox.h"
#include "test_services.h"

namespace {

using pellam::test::ReadTextFile;
using pellam::test::ServiceSandbox;
using Clock = std::chrono::steady_clock;

// Starts the program with `args`, its output appended to `output`.
pid_t Start(const std::vector<std::string>& args, const std::string& output) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    ::dup2(fd, 1);
    ::dup2(fd, 2);
    std::vector<char*> argv{const_cast<char*>(PELLAM_SERVICE_BINARY)};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(PELLAM_SERVICE_BINARY, argv.data());
    ::_exit(127);
  }
  return pid;
}

int Wait(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int RunToEnd(const std::vector<std::string>& args, const std::string& output) { return Wait(Start(args, output)); }

// Waits until `output` shows the start-up line `count` times: the service has its stop
// handler from then on.
size_t StartsLogged(const std::string& output) {
  const std::string text = ReadTextFile(output);
  size_t seen = 0;
  for (size_t at = text.find("sender ready"); at != std::string::npos; at = text.find("sender ready", at + 1)) ++seen;
  return seen;
}
bool Ready(const std::string& output, size_t count) {
  const auto end = Clock::now() + std::chrono::seconds(20);
  while (Clock::now() < end) {
    if (StartsLogged(output) >= count) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

// Waits until the queue holds no control file, or `limit` passes.
bool QueueEmpties(const ServiceSandbox& s, std::chrono::milliseconds limit) {
  const auto end = Clock::now() + limit;
  while (Clock::now() < end) {
    if (s.QueueFiles().empty()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

TEST(Program, CommandLine) {
  ServiceSandbox s;
  const std::string out = s.box().Path("out.txt");
  EXPECT_EQ(RunToEnd({"--version"}, out), 0);
  EXPECT_NE(ReadTextFile(out).find("pellam 1."), std::string::npos) << ReadTextFile(out);
  EXPECT_EQ(RunToEnd({"--help"}, out), 0);
  EXPECT_NE(ReadTextFile(out).find("--foreground"), std::string::npos);
  EXPECT_EQ(RunToEnd({"--bogus"}, out), 2);
  EXPECT_NE(ReadTextFile(out).find("unknown argument: --bogus"), std::string::npos);
}

TEST(Program, DeliversInTheForegroundAndStopsWhenAsked) {
  PELLAM_NEEDS_ROOT("delivery switches to the recipients' identities");
  ServiceSandbox s;
  s.AddUser("bob", 1001);
  s.AddUser("carol", 1002);
  s.Post("To: bob, carol\r\nSubject: hello\r\n\r\nfrom the program\r\n");
  const std::string out = s.box().Path("out.txt");
  const pid_t service = Start({"--foreground"}, out);
  EXPECT_TRUE(QueueEmpties(s, std::chrono::seconds(20)));
  // New mail is seen by the change notification, not only at start-up.
  s.Post("To: bob\r\nSubject: second\r\n\r\nagain\r\n");
  EXPECT_TRUE(QueueEmpties(s, std::chrono::seconds(20)));
  ::kill(service, SIGTERM);
  EXPECT_EQ(Wait(service), 0);
  EXPECT_EQ(s.Messages("bob"), (std::vector<std::string>{"msg0001.mai", "msg0002.mai"}));
  EXPECT_EQ(s.Messages("carol"), std::vector<std::string>{"msg0001.mai"});
  const std::string log = ReadTextFile(out);
  EXPECT_NE(log.find("sender ready for outgoing mail-11 messages"), std::string::npos) << log;
  EXPECT_NE(log.find("Sender terminated."), std::string::npos) << log;
}

// The sandbox's event log, where a service inside PELLAM_ROOT writes what would go to
// syslog.
std::string EventLogOf(ServiceSandbox& s) { return ReadTextFile(s.box().Path("var/log/pellam.log")); }

size_t Occurrences(const std::string& text, const std::string& part) {
  size_t seen = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++seen;
  return seen;
}

// Waits until the sandbox's event log holds `part`, or `limit` passes.
bool LogShows(ServiceSandbox& s, const std::string& part, std::chrono::milliseconds limit) {
  const auto end = Clock::now() + limit;
  while (Clock::now() < end) {
    if (EventLogOf(s).find(part) != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

TEST(Program, UnderSystemdTheEventsAreNotEchoedIntoTheJournalTwice) {
  ServiceSandbox s;
  const std::string out = s.box().Path("out.txt");
  ::setenv("JOURNAL_STREAM", "8:12345", 1);
  const pid_t service = Start({"--foreground"}, out);
  ::unsetenv("JOURNAL_STREAM");
  // Logged once the stop handler is in place.
  EXPECT_TRUE(LogShows(s, "sender ready", std::chrono::seconds(20))) << EventLogOf(s);
  ::kill(service, SIGTERM);
  EXPECT_EQ(Wait(service), 0);
  EXPECT_EQ(ReadTextFile(out), "") << "only the log has the events";
  const std::string log = EventLogOf(s);
  EXPECT_EQ(Occurrences(log, "sender ready for outgoing mail-11 messages"), 1u) << log;
  EXPECT_EQ(Occurrences(log, "Sender terminated."), 1u) << log;
}

TEST(Program, WithoutForegroundItDetachesLogsItsEventsAndStopsWhenAsked) {
  ServiceSandbox s;
  const std::string out = s.box().Path("out.txt");
  EXPECT_EQ(RunToEnd({}, out), 0) << "the starting process returns once the service is detached";
  ASSERT_TRUE(LogShows(s, "sender ready", std::chrono::seconds(20))) << EventLogOf(s);
  // The service is the process that logged, in a session of its own, with no terminal.
  const std::string log = EventLogOf(s);
  const pid_t service = static_cast<pid_t>(std::stol(log.substr(log.find('[') + 1)));
  ASSERT_GT(service, 0) << log;
  struct Reaper {  // nothing outlives the test, whatever fails
    pid_t pid;
    ~Reaper() {
      if (pellam::test::ProcessLives(pid)) ::kill(pid, SIGKILL);
    }
  } reaper{service};
  EXPECT_TRUE(pellam::test::ProcessLives(service));
  EXPECT_EQ(::getsid(service), ::getpgid(service)) << "a process group of its own session";
  EXPECT_NE(::getsid(service), ::getsid(0)) << "not in the test's session";
  EXPECT_NE(::getsid(service), service) << "not a session leader, which could gain a terminal";
  ::kill(service, SIGTERM);
  EXPECT_TRUE(pellam::test::WaitFor([&] { return !pellam::test::ProcessLives(service); }, 20000));
  EXPECT_TRUE(LogShows(s, "Sender terminated.", std::chrono::seconds(5))) << EventLogOf(s);
  EXPECT_EQ(ReadTextFile(out), "") << "a detached service writes nothing to its starter's output";
}

// Users u00 .. u(n-1) with uids from 2000, each registered.
std::vector<std::string> AddUsers(ServiceSandbox& s, int n) {
  std::vector<std::string> users;
  for (int i = 0; i < n; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "u%02d", i);
    s.AddUser(name, static_cast<uid_t>(2000 + i));
    users.push_back(name);
  }
  return users;
}

std::string ToList(const std::vector<std::string>& users) {
  std::string list;
  for (const auto& u : users) list += (list.empty() ? "" : ", ") + u;
  return list;
}

// Every user holds each of the `messages` subjects exactly once.
void ExpectEachOnce(const ServiceSandbox& s, const std::vector<std::string>& users, int messages) {
  for (const auto& user : users) {
    std::vector<int> seen(static_cast<size_t>(messages), 0);
    for (const auto& m : s.Contents(user)) {
      const std::string subject = pellam::test::HeaderValue(m, "Subject");
      const int i = std::atoi(subject.c_str() + 1);
      ASSERT_TRUE(subject.size() > 1 && i >= 0 && i < messages) << user << ": " << subject;
      ++seen[static_cast<size_t>(i)];
    }
    for (int i = 0; i < messages; ++i) EXPECT_EQ(seen[static_cast<size_t>(i)], 1) << user << " message " << i;
    EXPECT_EQ(s.Messages(user, ".incoming"), std::vector<std::string>{}) << user << ": staged files left";
  }
  EXPECT_EQ(s.Messages("ann"), std::vector<std::string>{}) << "nothing was reported back";
}

TEST(Program, AStopRequestIsAnsweredAtOnceAndTheRestFollowsAfterARestart) {
  PELLAM_NEEDS_ROOT("delivery switches to the recipients' identities");
  ServiceSandbox s;
  const auto users = AddUsers(s, 12);
  for (int m = 0; m < 3; ++m) s.Post("To: " + ToList(users) + "\r\nSubject: m" + std::to_string(m) + "\r\n\r\nx\r\n");
  const std::string out = s.box().Path("out.txt");
  const pid_t service = Start({"--foreground"}, out);
  // Stop it once the first deliveries are in.
  const auto end = Clock::now() + std::chrono::seconds(20);
  while (Clock::now() < end && s.Messages(users[0]).empty()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  const auto asked = Clock::now();
  ::kill(service, SIGTERM);
  EXPECT_EQ(Wait(service), 0);
  EXPECT_LT(Clock::now() - asked, std::chrono::seconds(2)) << "a stop waits only for the delivery in progress";
  EXPECT_FALSE(s.QueueFiles().empty()) << "stopped before the end";
  const pid_t again = Start({"--foreground"}, out);
  EXPECT_TRUE(QueueEmpties(s, std::chrono::seconds(60)));
  ::kill(again, SIGTERM);
  EXPECT_EQ(Wait(again), 0);
  ExpectEachOnce(s, users, 3);
}

TEST(Program, KilledAtRandomPointsItLosesNothingAndRepeatsNothing) {
  PELLAM_NEEDS_ROOT("delivery switches to the recipients' identities");
  ServiceSandbox s;
  const auto users = AddUsers(s, 16);
  constexpr int kMessages = 6;
  for (int m = 0; m < kMessages; ++m) {
    s.Post("To: " + ToList(users) + "\r\nSubject: m" + std::to_string(m) + "\r\n\r\nbody " + std::to_string(m) + "\r\n");
  }
  const std::string out = s.box().Path("out.txt");
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE(testing::Message() << "seed " << seed);
  std::mt19937 random(seed);
  // Start-up takes a few milliseconds; the kills fall before, during and after it.
  std::uniform_int_distribution<int> delay_us(0, 25000);
  int kills = 0;
  while (kills < 60 && !s.QueueFiles().empty()) {
    const pid_t service = Start({"--foreground"}, out);
    std::this_thread::sleep_for(std::chrono::microseconds(delay_us(random)));
    ::kill(service, SIGKILL);
    Wait(service);
    ++kills;
  }
  const size_t starts = StartsLogged(out);
  const pid_t last = Start({"--foreground"}, out);
  EXPECT_TRUE(Ready(out, starts + 1));
  EXPECT_TRUE(QueueEmpties(s, std::chrono::seconds(60))) << ReadTextFile(out);
  ::kill(last, SIGTERM);
  EXPECT_EQ(Wait(last), 0);
  EXPECT_GE(kills, 10) << "too few kills happened while there was work";
  std::printf("%d kills before the queue was empty\n", kills);
  ExpectEachOnce(s, users, kMessages);
}

}  // namespace
