// Two Pellam machines in two sandboxes, each with its own service, joined by Multinet
// over TCP on loopback (one listens, one connects): the adjacency comes up, pellncp
// loops both ways, and all of it comes back after the listening side restarts. Every
// wait is bounded and both services are stopped, whatever happens.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <string>

#include "machines.h"

namespace {

using namespace pellam::e2e;
using std::chrono::seconds;

MachinePlan Plan(int node, const std::string& circuit, uint16_t port) {
  return {TestNodes()[node], circuit, port, port, {}};
}

void ExpectLoop(Machine& from, const std::string& to, const std::string& target) {
  const RunResult r = from.Pellncp({"loop", "node", to, "count", "3", "length", "256"});
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("Loop to " + target + ": 3 of 3 answered"), std::string::npos) << r.output;
}

TEST(DecnetNodes, TwoServicesLoopBothWaysAndComeBackAfterARestart) {
  const uint16_t port = FreePort(SOCK_STREAM);
  ASSERT_NE(port, 0);
  Machine alpha(Plan(0, "multinet-tcp-listen", port));
  Machine bravo(Plan(1, "multinet-tcp-connect", port));
  ASSERT_EQ(alpha.error() + bravo.error(), "");
  alpha.StartService();
  bravo.StartService();
  ASSERT_TRUE(alpha.AdjacentTo("1.2 (BRAVO)", seconds(20))) << alpha.Log() << bravo.Log();
  ASSERT_TRUE(bravo.AdjacentTo("1.1 (ALPHA)", seconds(20))) << alpha.Log() << bravo.Log();
  ExpectLoop(bravo, "ALPHA", "1.1 (ALPHA)");
  ExpectLoop(alpha, "1.2", "1.2 (BRAVO)");
  const RunResult executor = alpha.Pellncp({"show", "executor"});
  EXPECT_NE(executor.output.find("Executor node            = 1.1 (ALPHA)\n"), std::string::npos) << executor.output;
  EXPECT_NE(alpha.Log().find("sender ready for outgoing mail-11 messages"), std::string::npos) << alpha.Log();
  EXPECT_NE(alpha.Log().find(" on ALPHA "), std::string::npos) << "the DECnet name is the local node name";

  // The listening side goes away and comes back; the connecting side finds it again.
  EXPECT_EQ(alpha.StopService(), 0) << alpha.Log();
  const RunResult down = bravo.Pellncp({"loop", "node", "ALPHA"});
  EXPECT_EQ(down.status, 1) << down.output;
  EXPECT_NE(down.output.find("pellncp: node unreachable: 1.1 (ALPHA)"), std::string::npos) << down.output;
  alpha.StartService();
  ASSERT_TRUE(bravo.AdjacentTo("1.1 (ALPHA)", seconds(30))) << alpha.Log() << bravo.Log();
  ExpectLoop(bravo, "ALPHA", "1.1 (ALPHA)");
  ExpectLoop(alpha, "BRAVO", "1.2 (BRAVO)");
  EXPECT_EQ(bravo.StopService(), 0) << bravo.Log();
  EXPECT_EQ(alpha.StopService(), 0) << alpha.Log();
  EXPECT_EQ(alpha.SanitizerReport() + bravo.SanitizerReport(), "");
}

}  // namespace
