// The road of a message between two DECnet nodes, each a machine with its own service:
// ann on ALPHA posts with pellpost to BRAVO::BOB, it lands in bob's "new" folder, and
// his reply lands in hers. Recipients that BRAVO refuses come back to ann in an error
// report with BRAVO's own words, while the good recipient of the same message gets it.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <string>

#include "machines.h"
#include "pellam.h"

namespace {

using namespace pellam::e2e;
using std::chrono::seconds;

constexpr uid_t kAnn = 1001, kBob = 1002, kCarl = 1003;

std::string Upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::toupper(c); });
  return s;
}

class TwoNodeRoad : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "the services deliver as ann and bob, which needs root";
    const uint16_t port = FreePort(SOCK_STREAM);
    ASSERT_NE(port, 0);
    alpha_ = std::make_unique<Machine>(MachinePlan{TestNodes()[0], "multinet-tcp-listen", port, port, {}});
    bravo_ = std::make_unique<Machine>(MachinePlan{TestNodes()[1], "multinet-tcp-connect", port, port, {}});
    ASSERT_EQ(alpha_->error() + bravo_->error(), "");
    ASSERT_TRUE(alpha_->AddUser("ann", kAnn, "Ann Example"));
    ASSERT_TRUE(bravo_->AddUser("bob", kBob, "Bob Example"));
    alpha_->StartService();
    bravo_->StartService();
    ASSERT_TRUE(bravo_->AdjacentTo("1.1 (ALPHA)", seconds(20))) << Logs();
    ASSERT_TRUE(alpha_->AdjacentTo("1.2 (BRAVO)", seconds(20))) << Logs();
    ASSERT_TRUE(alpha_->WaitUntilReceiving(seconds(20)) && bravo_->WaitUntilReceiving(seconds(20))) << Logs();
  }
  void TearDown() override {
    if (!alpha_) return;
    EXPECT_EQ(bravo_->StopService(), 0) << Logs();
    EXPECT_EQ(alpha_->StopService(), 0) << Logs();
    EXPECT_EQ(alpha_->SanitizerReport() + bravo_->SanitizerReport(), "");
  }
  std::string Logs() const { return alpha_->Log() + bravo_->Log(); }

  std::unique_ptr<Machine> alpha_, bravo_;
};

TEST_F(TwoNodeRoad, AMessageToBravoBobLandsInHisNewFolderAndHisReplyInAnns) {
  const RunResult posted = alpha_->Post(
      "ann", "To: BRAVO::BOB\r\nSubject: Across the road\r\n\r\nHello Bob,\r\n\r\nthis came by DECnet.\r\n");
  ASSERT_EQ(posted.status, 0) << posted.output;
  ASSERT_TRUE(bravo_->WaitForMessages("bob", 1, seconds(30))) << Logs();
  const std::string got = bravo_->Messages("bob").at(0);
  const std::string from = HeaderOf(got, "From");
  EXPECT_NE(Upper(from).find("ALPHA::ANN"), std::string::npos) << got;
  EXPECT_NE(from.find("Ann Example"), std::string::npos) << got;
  EXPECT_NE(Upper(HeaderOf(got, "To")).find("BOB"), std::string::npos) << got;
  EXPECT_EQ(HeaderOf(got, "Subject"), "Across the road") << got;
  EXPECT_EQ(TextOf(got), "Hello Bob,\r\n\r\nthis came by DECnet.\r\n") << got;
  MailDate received{};
  EXPECT_EQ(ExtractReceiveDate(HeaderOf(got, "Received").c_str(), &received), 0u) << got;
  EXPECT_GE(received.Year, 2024) << got;
  EXPECT_TRUE(WaitUntil([&] { return alpha_->QueuedCount() == 0; }, seconds(10))) << "sent and gone from ALPHA's queue";

  // bob answers the address his message came from.
  const RunResult replied = bravo_->Post("bob", "To: ALPHA::ANN\r\nSubject: Re: Across the road\r\n\r\nGot it.\r\n");
  ASSERT_EQ(replied.status, 0) << replied.output;
  ASSERT_TRUE(alpha_->WaitForMessages("ann", 1, seconds(30))) << Logs();
  const std::string reply = alpha_->Messages("ann").at(0);
  EXPECT_NE(Upper(HeaderOf(reply, "From")).find("BRAVO::BOB"), std::string::npos) << reply;
  EXPECT_NE(HeaderOf(reply, "From").find("Bob Example"), std::string::npos) << reply;
  EXPECT_EQ(HeaderOf(reply, "Subject"), "Re: Across the road") << reply;
  EXPECT_EQ(TextOf(reply), "Got it.\r\n") << reply;
  EXPECT_TRUE(WaitUntil([&] { return bravo_->QueuedCount() == 0; }, seconds(10)));
  EXPECT_EQ(bravo_->MessageCount("bob"), 1u) << "nothing came twice";
}

// Mail that waits in ALPHA's queue while its service is down goes out as soon as the
// service is back, not a whole SenderRetryDelta later: the first pass over the queue
// must not find the circuit still coming up and put everything off.
TEST_F(TwoNodeRoad, MailQueuedWhileTheServiceWasDownGoesOutWhenItStarts) {
  ASSERT_EQ(alpha_->StopService(), 0) << Logs();
  const RunResult posted = alpha_->Post("ann", "To: BRAVO::BOB\r\nSubject: Waited\r\n\r\nQueued while ALPHA was down.\r\n");
  ASSERT_EQ(posted.status, 0) << posted.output;
  alpha_->StartService();
  // SenderRetryDelta is a minute at least (30 minutes unless set): well beyond this.
  EXPECT_TRUE(bravo_->WaitForMessages("bob", 1, seconds(20))) << Logs();
}

// Each row: a recipient BRAVO refuses, and what BRAVO's refusal must say.
struct Refusal {
  const char* recipient;
  const char* text;
};

TEST_F(TwoNodeRoad, RecipientsBravoRefusesComeBackToAnnWhileTheGoodOneGetsTheMessage) {
  ASSERT_TRUE(bravo_->AddUser("carl", kCarl, "Carl Example"));
  const RunResult off = bravo_->Run(Machine::PellregPath(),
                                    {"add", "HKU\\S-1-22-1-" + std::to_string(kCarl) + "\\Software\\Corwent\\Pellam",
                                     "/v", "DisableNewMail", "/t", "REG_DWORD", "/d", "1", "/f"});
  ASSERT_EQ(off.status, 0) << off.output;
  const Refusal refusals[] = {
      {"BRAVO::NOBODY", "No such user NOBODY at BRAVO."},
      {"BRAVO::CARL", "User carl cannot receive new mail."},
  };
  const RunResult posted =
      alpha_->Post("ann", "To: BRAVO::NOBODY, BRAVO::BOB, BRAVO::CARL\r\nSubject: Three for BRAVO\r\n\r\nHello.\r\n");
  ASSERT_EQ(posted.status, 0) << posted.output;
  ASSERT_TRUE(bravo_->WaitForMessages("bob", 1, seconds(30))) << Logs();
  EXPECT_EQ(HeaderOf(bravo_->Messages("bob").at(0), "Subject"), "Three for BRAVO");
  ASSERT_TRUE(alpha_->WaitForMessages("ann", 1, seconds(30))) << Logs();
  const std::string report = alpha_->Messages("ann").at(0);
  EXPECT_NE(HeaderOf(report, "Subject").find("Three for BRAVO"), std::string::npos) << report;
  for (const Refusal& r : refusals) {
    SCOPED_TRACE(r.recipient);
    const std::string line = "could not be delivered to " + std::string(r.recipient) + ".\r\n";
    const size_t at = report.find(line);
    ASSERT_NE(at, std::string::npos) << report;
    // BRAVO's words follow the line that names the recipient.
    const std::string reason = report.substr(at + line.size(), report.find("\r\n\r\n", at) - at - line.size());
    EXPECT_NE(reason.find(r.text), std::string::npos) << reason;
  }
  EXPECT_EQ(report.find("could not be delivered to BRAVO::BOB"), std::string::npos) << report;
  EXPECT_EQ(bravo_->MessageCount("carl"), 0u);
  EXPECT_TRUE(WaitUntil([&] { return alpha_->QueuedCount() == 0; }, seconds(10))) << Logs();
  EXPECT_EQ(alpha_->MessageCount("ann"), 1u) << "one report for both refusals";
}

}  // namespace
