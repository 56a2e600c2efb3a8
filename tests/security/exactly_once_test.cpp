// "Messages lost or doubled": forwarded copies, automatic replies and error reports
// were posted before the journal recorded them, so a kill between the two sent them
// twice. Now the posting is recorded first; the service is killed at random points
// more than a hundred times and each of them arrives exactly once. One forged file
// with thousands of unknown recipients gives its poster one report, not thousands.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "compose/control_file_format.h"
#include "needs_root.h"
#include "pellam.h"
#include "service_sandbox.h"

namespace {

using pellam::test::HeaderValue;
using pellam::test::ReadTextFile;
using pellam::test::ServiceSandbox;
using Clock = std::chrono::steady_clock;
using Names = std::vector<std::string>;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

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

void Reap(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

// Control files of the originals (the service's own mail aside) still queued.
size_t Queued(const ServiceSandbox& s) {
  size_t n = 0;
  for (const auto& name : s.QueueFiles()) n += name.size() > 4 && name.substr(name.size() - 4) == ".mai";
  return n;
}

size_t StartsLogged(const std::string& output) {
  const std::string text = ReadTextFile(output);
  size_t seen = 0;
  for (size_t at = text.find("sender ready"); at != std::string::npos; at = text.find("sender ready", at + 1)) ++seen;
  return seen;
}

// Waits (a bounded time) until the service has logged its start `count` times.
void AwaitStart(const std::string& output, size_t count) {
  const auto end = Clock::now() + std::chrono::seconds(5);
  while (Clock::now() < end && StartsLogged(output) < count) std::this_thread::sleep_for(std::chrono::microseconds(500));
}

bool QueueEmpties(const ServiceSandbox& s, std::chrono::seconds limit) {
  const auto end = Clock::now() + limit;
  while (Clock::now() < end) {
    if (Queued(s) == 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

// How many messages of `user` have each subject.
std::map<std::string, int> Subjects(const ServiceSandbox& s, const std::string& user) {
  std::map<std::string, int> count;
  for (const auto& m : s.Contents(user)) ++count[HeaderValue(m, "Subject")];
  return count;
}

TEST(ExactlyOnce, KilledAtRandomPointsItSendsEachForwardReplyAndReportOnce) {
  PELLAM_NEEDS_ROOT("deliveries switch to the recipients' uids");
  ServiceSandbox s;
  s.AddUser("bob", 1001);   // forwards to carl
  s.AddUser("carl", 1002);
  s.AddUser("dave", 1003);  // answers every message automatically
  s.SetProfile("bob", "carl", -1, -1);
  pellam::test::WriteTextFile(s.MailDirectory("dave") + "autorep.txt", "Out of office.\r\n");
  ::chown(s.MailDirectory("dave").c_str(), 1003, 1003);
  ::chown((s.MailDirectory("dave") + "autorep.txt").c_str(), 1003, 1003);
  s.SetProfile("dave", "", 3, -1);
  // A recipient whose folder a killed service's child still held is busy for a moment
  // and deferred; the retry comes a second later instead of minutes.
  s.SetSystemNumber("SenderRetryDelta", 0);

  const std::string out = s.box().Path("out.txt");
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE(testing::Message() << "seed " << seed);
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> delay_us(0, 120000);
  constexpr int kKills = 120;
  int posted = 0;
  int kills = 0;
  // The kills are counted, not timed: under the sanitizers on a busy machine a start
  // takes half a second, and the deadline only keeps a stuck loop from running on.
  const auto deadline = Clock::now() + std::chrono::seconds(120);
  for (; kills < kKills && Clock::now() < deadline; ++kills) {
    // Work is kept waiting, so that every kill can fall in the middle of something.
    while (Queued(s) < 2) {
      s.Post("To: bob, dave, nosuch1, nosuch2\r\nSubject: m" + std::to_string(posted++) + "\r\n\r\nbody\r\n");
    }
    const size_t starts = StartsLogged(out);
    const pid_t service = StartService(out);
    // Kills during start-up show nothing new; the delay counts from the start line.
    AwaitStart(out, starts + 1);
    std::this_thread::sleep_for(std::chrono::microseconds(delay_us(random)));
    ::kill(service, SIGKILL);
    Reap(service);
  }
  const pid_t last = StartService(out);
  EXPECT_TRUE(QueueEmpties(s, std::chrono::seconds(60))) << ReadTextFile(out);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the service's own mail, delivered last
  ::kill(last, SIGTERM);
  Reap(last);
  EXPECT_EQ(s.QueueFiles(), Names{}) << ReadTextFile(out);
  std::printf("%d kills, %d messages, each with a forward, a reply and a report\n", kills, posted);
  EXPECT_GE(kills, 100) << "the time ran out before enough kills";
  const std::string log = ReadTextFile(out);
  for (const char* failure : {"Failed to generate automatic reply", "Failed to forward", "Failed to create error report"}) {
    EXPECT_EQ(log.find(failure), std::string::npos) << log;
  }

  const auto carl = Subjects(s, "carl");
  const auto dave = Subjects(s, "dave");
  const auto ann = Subjects(s, "ann");
  for (int m = 0; m < posted; ++m) {
    const std::string subject = "m" + std::to_string(m);
    SCOPED_TRACE(subject);
    EXPECT_EQ(carl.count(subject) ? carl.at(subject) : 0, 1) << "forwarded copies";
    EXPECT_EQ(dave.count(subject) ? dave.at(subject) : 0, 1) << "deliveries";
    EXPECT_EQ(ann.count("Re: " + subject) ? ann.at("Re: " + subject) : 0, 1) << "automatic replies\n" << ReadTextFile(out);
    EXPECT_EQ(ann.count("Undeliverable mail: " + subject) ? ann.at("Undeliverable mail: " + subject) : 0, 1)
        << "error reports";
  }
  EXPECT_EQ(s.Messages("ann").size(), static_cast<size_t>(2 * posted)) << "nothing else for the sender";
  for (const auto& report : s.Contents("ann")) {
    if (HeaderValue(report, "Auto-Submitted") != "auto-generated") continue;
    EXPECT_TRUE(Contains(report, "could not be delivered to nosuch1.") && Contains(report, "could not be delivered to nosuch2."))
        << "one report names every failed recipient:\n" << report;
  }
}

TEST(ExactlyOnce, ThousandsOfUnknownRecipientsGiveTheirPosterOneReport) {
  PELLAM_NEEDS_ROOT("the poster is a real account with its own uid");
  ServiceSandbox s;
  s.AddUser("bob", 1001);
  ::chmod(s.queue().c_str(), 01777);
  pellam::control::ControlFile file;
  constexpr int kRecipients = 10100;
  for (int i = 0; i < kRecipients; ++i) {
    const std::string address = "nosuch" + std::to_string(i);
    file.addresses.push_back({0, 0, 0, static_cast<uint8_t>(address.size()), ADDR_FORM_DECNET, address});
  }
  const std::string bytes = pellam::control::EncodeControlFile(file, "From: bob\r\nSubject: many\r\n\r\n", "x\r\n");
  ASSERT_EQ(pellam::test::RunAsUser(1001, 1001,
                                    [&] {
                                      FILE* f = std::fopen((s.queue() + "many.mai").c_str(), "wb");
                                      if (f == nullptr) return 1;
                                      std::fwrite(bytes.data(), 1, bytes.size(), f);
                                      return std::fclose(f) == 0 ? 0 : 2;
                                    }),
            0);
  s.Drain();
  EXPECT_EQ(s.QueueFiles(), Names{});
  const auto reports = s.Contents("bob");
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(HeaderValue(reports[0], "Subject"), "Undeliverable mail: many");
  EXPECT_TRUE(Contains(reports[0], "could not be delivered to nosuch0.\r\n"));
  EXPECT_TRUE(Contains(reports[0], "could not be delivered to nosuch10099.\r\n"));
}

}  // namespace
