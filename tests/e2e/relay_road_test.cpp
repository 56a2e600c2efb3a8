// Three nodes on one LAN (an end node has a single circuit, so three meet on a wire:
// here bridge circuits to a UDP hub, with no router, so the end nodes talk directly).
// ALPHA sends to BRAVO::CHARLY::CAROL: BRAVO relays it and it lands on CHARLY, and
// carol's reply goes back the way the From line shows. With
// BRAVO's hop limit too low for the relay, BRAVO refuses the recipient with the hop
// count's text, and that comes back to ann as an error report.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "machines.h"
#include "pellam.h"
#include "udp_hub.h"

namespace {

using namespace pellam::e2e;
using std::chrono::seconds;

constexpr uid_t kAnn = 1001, kCarol = 1003;

std::string Upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::toupper(c); });
  return s;
}

// ALPHA, BRAVO and CHARLY on the hub; `bravo_hops` is BRAVO's MaximumHops.
class ThreeNodeLan {
 public:
  explicit ThreeNodeLan(uint32_t bravo_hops) {
    std::vector<uint16_t> ports;
    for (int i = 0; i < 3; ++i) ports.push_back(FreePort(SOCK_DGRAM));
    hub = std::make_unique<UdpHub>(ports);
    for (int i = 0; i < 3; ++i) {
      MachinePlan plan{TestNodes()[i], "ethernet-udp", hub->port(), ports[i], {}};
      if (i == 1) plan.system_numbers.emplace_back("MaximumHops", bravo_hops);
      machines.push_back(std::make_unique<Machine>(plan));
    }
  }
  ~ThreeNodeLan() {
    for (auto& m : machines) m->StopService();
  }
  Machine& alpha() { return *machines[0]; }
  Machine& bravo() { return *machines[1]; }
  Machine& charly() { return *machines[2]; }
  std::string Logs() const {
    std::string text;
    for (const auto& m : machines) text += m->Log();
    return text;
  }

  std::unique_ptr<UdpHub> hub;
  std::vector<std::unique_ptr<Machine>> machines;
};

class RelayRoad : public ::testing::Test {
 protected:
  void Start(uint32_t bravo_hops) {
    lan_ = std::make_unique<ThreeNodeLan>(bravo_hops);
    ASSERT_NE(lan_->hub->port(), 0);
    for (const auto& m : lan_->machines) ASSERT_EQ(m->error(), "") << m->name();
    ASSERT_TRUE(lan_->alpha().AddUser("ann", kAnn, "Ann Example"));
    ASSERT_TRUE(lan_->charly().AddUser("carol", kCarol, "Carol Example"));
    for (const auto& m : lan_->machines) m->StartService();
    for (const auto& m : lan_->machines) ASSERT_TRUE(m->WaitUntilReceiving(seconds(20))) << lan_->Logs();
    const RunResult posted =
        lan_->alpha().Post("ann", "To: BRAVO::CHARLY::CAROL\r\nSubject: By way of BRAVO\r\n\r\nHello Carol.\r\n");
    ASSERT_EQ(posted.status, 0) << posted.output;
  }
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "the services deliver as ann and carol, which needs root";
  }
  void TearDown() override {
    if (!lan_) return;
    for (const auto& m : lan_->machines) {
      m->StopService();
      EXPECT_EQ(m->SanitizerReport(), "") << m->name();
    }
  }

  std::unique_ptr<ThreeNodeLan> lan_;
};

TEST_F(RelayRoad, BravoRelaysAnnsMessageToCarolOnCharly) {
  ASSERT_NO_FATAL_FAILURE(Start(8));
  ASSERT_TRUE(lan_->charly().WaitForMessages("carol", 1, seconds(40))) << lan_->Logs();
  const std::string got = lan_->charly().Messages("carol").at(0);
  // The route back to ann runs through BRAVO, and carol's reply takes it.
  EXPECT_NE(Upper(HeaderOf(got, "From")).find("BRAVO::ALPHA::ANN"), std::string::npos) << got;
  EXPECT_EQ(HeaderOf(got, "Subject"), "By way of BRAVO") << got;
  EXPECT_EQ(TextOf(got), "Hello Carol.\r\n") << got;
  EXPECT_TRUE(WaitUntil([&] { return lan_->alpha().QueuedCount() + lan_->bravo().QueuedCount() == 0; }, seconds(20)))
      << "both ALPHA's message and BRAVO's relay copy are gone from the queues\n"
      << lan_->Logs();
  EXPECT_EQ(lan_->alpha().MessageCount("ann"), 0u) << "no error report";
  const RunResult replied =
      lan_->charly().Post("carol", "To: BRAVO::ALPHA::ANN\r\nSubject: Re: By way of BRAVO\r\n\r\nThanks.\r\n");
  ASSERT_EQ(replied.status, 0) << replied.output;
  ASSERT_TRUE(lan_->alpha().WaitForMessages("ann", 1, seconds(40))) << lan_->Logs();
  const std::string reply = lan_->alpha().Messages("ann").at(0);
  EXPECT_NE(Upper(HeaderOf(reply, "From")).find("BRAVO::CHARLY::CAROL"), std::string::npos) << reply;
  EXPECT_EQ(HeaderOf(reply, "Subject"), "Re: By way of BRAVO") << reply;
}

TEST_F(RelayRoad, BeyondBravosHopLimitTheRelayIsRefusedAndAnnHearsWhy) {
  ASSERT_NO_FATAL_FAILURE(Start(1));
  ASSERT_TRUE(lan_->alpha().WaitForMessages("ann", 1, seconds(40))) << lan_->Logs();
  const std::string report = lan_->alpha().Messages("ann").at(0);
  EXPECT_NE(report.find("could not be delivered to BRAVO::CHARLY::CAROL.\r\n"), std::string::npos) << report;
  EXPECT_NE(report.find(CatalogueText(ERR_HOP_COUNT)), std::string::npos) << report;
  EXPECT_TRUE(WaitUntil([&] { return lan_->alpha().QueuedCount() + lan_->bravo().QueuedCount() == 0; }, seconds(20)))
      << lan_->Logs();
  EXPECT_EQ(lan_->charly().MessageCount("carol"), 0u);
}

}  // namespace
