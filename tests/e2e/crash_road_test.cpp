// 200 messages from ann on ALPHA to BRAVO::BOB while one of the two services is killed
// (SIGKILL) at random moments and started again. Afterwards every message is in bob's
// "new" folder at least once. A message may come twice only through the window the
// protocol leaves open: a kill after BRAVO has stored it and answered success but
// before ALPHA has recorded that success. Each kill opens that window for at most the
// links in flight, so the duplicates are counted, printed, and held to that bound.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "machines.h"

namespace {

using namespace pellam::e2e;
using std::chrono::seconds;

constexpr int kMessages = 200;
constexpr int kKills = 6;
constexpr uint32_t kSendLinks = 2;  // SendThreadLimit: links ALPHA may have open at once
constexpr uid_t kAnn = 1001, kBob = 1002;

std::string Subject(int n) {
  char text[32];
  std::snprintf(text, sizeof text, "Crash road %04d", n);
  return text;
}

class CrashRoad : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "the services deliver as ann and bob, which needs root";
    const uint16_t port = FreePort(SOCK_STREAM);
    ASSERT_NE(port, 0);
    // ALPHA connects, so that a restarted ALPHA has its circuit back at once, without
    // waiting out the connecting side's back-off.
    alpha_ = std::make_unique<Machine>(MachinePlan{
        TestNodes()[0], "multinet-tcp-connect", port, port, {{"SendThreadLimit", kSendLinks}, {"SenderRetryDelta", 60000}}});
    bravo_ = std::make_unique<Machine>(MachinePlan{TestNodes()[1], "multinet-tcp-listen", port, port, {}});
    ASSERT_EQ(alpha_->error() + bravo_->error(), "");
    ASSERT_TRUE(alpha_->AddUser("ann", kAnn, "Ann Example"));
    ASSERT_TRUE(bravo_->AddUser("bob", kBob, "Bob Example"));
    std::vector<std::string> messages;
    for (int n = 1; n <= kMessages; ++n) {
      messages.push_back("To: BRAVO::BOB\r\nSubject: " + Subject(n) + "\r\n\r\nMessage " + std::to_string(n) + ".\r\n");
    }
    ASSERT_TRUE(alpha_->PostMany("ann", messages));
    ASSERT_EQ(alpha_->QueuedCount(), static_cast<size_t>(kMessages));
    seed_ = std::random_device{}();
    std::printf("random seed %u\n", seed_);
  }
  void TearDown() override {
    if (!alpha_) return;
    alpha_->StopService();
    bravo_->StopService();
    EXPECT_EQ(alpha_->SanitizerReport() + bravo_->SanitizerReport(), "");
  }
  std::string Logs() const { return alpha_->Log() + bravo_->Log(); }

  // Waits for the circuit to be up on both sides.
  bool Linked() {
    return alpha_->AdjacentTo("1.2 (BRAVO)", seconds(20)) && bravo_->AdjacentTo("1.1 (ALPHA)", seconds(20)) &&
           bravo_->WaitUntilReceiving(seconds(20));
  }
  // How many copies of each message bob has.
  std::map<int, int> Copies() const {
    std::map<int, int> copies;
    for (const std::string& m : bravo_->Messages("bob")) {
      int n = 0;
      if (std::sscanf(HeaderOf(m, "Subject").c_str(), "Crash road %d", &n) == 1) ++copies[n];
    }
    return copies;
  }
  // Lets the transfers run for a random while, up to a second; false once bob has them all.
  bool StillSending(std::mt19937& random) {
    std::uniform_int_distribution<int> pause(0, 1000);
    const auto all = [&] { return bravo_->MessageCount("bob") >= static_cast<size_t>(kMessages); };
    return !WaitUntil(all, std::chrono::milliseconds(pause(random)));
  }
  // Checks the outcome once the kills are over: nothing lost, and no more duplicates
  // than `windows` kills can leave (one per link in flight at each).
  void ExpectAllDelivered(const char* killed, int kills, int windows) {
    ASSERT_TRUE(Linked()) << Logs();
    // Once ALPHA's queue is empty nothing more can come: only then are the copies
    // counted (a message sent again after a kill may still be on its way before).
    const bool drained = WaitUntil([&] { return alpha_->QueuedCount() == 0; }, seconds(120));
    EXPECT_TRUE(drained) << Logs();
    const std::map<int, int> copies = Copies();
    const bool all = copies.size() == static_cast<size_t>(kMessages);
    std::string missing, twice;
    int duplicates = 0;
    for (int n = 1; n <= kMessages; ++n) {
      const auto it = copies.find(n);
      if (it == copies.end()) missing += " " + std::to_string(n);
      if (it != copies.end() && it->second > 1) {
        duplicates += it->second - 1;
        twice += " " + std::to_string(n) + "x" + std::to_string(it->second);
      }
    }
    std::printf("%s killed %d times: %zu of %d messages delivered, %d duplicates%s%s\n", killed, kills, copies.size(),
                kMessages, duplicates, twice.empty() ? "" : ":", twice.c_str());
    RecordProperty("duplicates", duplicates);
    EXPECT_TRUE(all) << "lost:" << missing << "\n" << Logs();
    EXPECT_LE(duplicates, windows * static_cast<int>(kSendLinks)) << twice;
    EXPECT_EQ(alpha_->MessageCount("ann"), 0u) << "no message was reported as undeliverable";
  }

  std::unique_ptr<Machine> alpha_, bravo_;
  unsigned seed_ = 0;
};

TEST_F(CrashRoad, TheReceivingServiceKilledAtRandomLosesNothing) {
  std::mt19937 random(seed_);
  alpha_->StartService();
  bravo_->StartService();
  ASSERT_TRUE(Linked()) << Logs();
  int kills = 0, forced = 0;
  while (kills < kKills && StillSending(random)) {
    bravo_->KillService();
    ++kills;
    std::printf("kill %d at %zu delivered\n", kills, bravo_->MessageCount("bob"));
    bravo_->StartService();
    ASSERT_TRUE(bravo_->WaitUntilReceiving(seconds(20))) << Logs();
    // ALPHA put off what the dead BRAVO did not take and would try again only after
    // SenderRetryDelta (a minute at least); a freshly started service scans the whole
    // queue, so ALPHA is restarted rather than waited for. A link whose peer died
    // after taking the whole text waits for its final status until NetSendTimeout,
    // and a stop waits for it, so a stop that takes more than a second becomes a
    // kill (which the duplicate bound counts as well).
    if (alpha_->StopService(std::chrono::seconds(1)) < 0) ++forced;
    alpha_->StartService();
    ASSERT_TRUE(Linked()) << Logs();
  }
  std::printf("ALPHA's restart became a kill %d times\n", forced);
  ExpectAllDelivered("the receiving service", kills, kills + forced);
}

TEST_F(CrashRoad, TheSendingServiceKilledAtRandomLosesNothing) {
  std::mt19937 random(seed_);
  alpha_->StartService();
  bravo_->StartService();
  ASSERT_TRUE(Linked()) << Logs();
  int kills = 0;
  while (kills < kKills && StillSending(random)) {
    alpha_->KillService();
    ++kills;
    std::printf("kill %d at %zu delivered\n", kills, bravo_->MessageCount("bob"));
    alpha_->StartService();
    ASSERT_TRUE(Linked()) << Logs();
  }
  ExpectAllDelivered("the sending service", kills, kills);
}

}  // namespace
