// Each request against a fake node: the executor's fields, the node database, loops
// that succeed or fail in each way the node can fail them (table), and a node that is
// off. No loop leaves a link open.
#include <gtest/gtest.h>

#include "fake_node.h"
#include "ncp_commands.h"

namespace pellam::service {
namespace {

using test::FakeNode;
using test::MirrorBehaviour;

std::vector<std::string> Answer(const ncp::Request& request, const NcpContext& context) {
  std::vector<std::string> lines;
  RunNcpRequest(request, context, [&](const std::string& line) {
    lines.push_back(line);
    return true;
  });
  return lines;
}

ncp::Request Show(ncp::RequestKind kind) {
  ncp::Request r;
  r.kind = kind;
  return r;
}

struct Fixture {
  FakeNode node;
  NcpContext context;
  Fixture() {
    node.status.address = decnet::NodeAddress::Of(1, 2);
    node.status.name = "BRAVO";
    node.status.state = "on";
    node.status.identification = "Pellam V1";
    node.status.circuit = {"MUL-0", "on", decnet::NodeAddress::Of(1, 1), "routing IV", "127.0.0.1:7100"};
    node.status.counters.malformed = 3;
    node.db.Add("ALPHA", decnet::NodeAddress::Of(1, 1));
    node.db.Add("BRAVO", decnet::NodeAddress::Of(1, 2));
    node.db.Add("GHOST", decnet::NodeAddress::Of(1, 9));
    context.node = &node;
    context.loop_timeout = std::chrono::milliseconds(300);
  }
};

TEST(NcpCommands, ShowExecutorSendsEveryFieldThenOk) {
  Fixture f;
  const auto lines = Answer(Show(ncp::RequestKind::kShowExecutor), f.context);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "ok");
  const std::vector<std::string> wanted = {"field address 1.2", "field name BRAVO", "field state on",
                                           "field circuit MUL-0", "field adjacent-node 1.1 (ALPHA)",
                                           "field adjacent-type routing IV", "field circuit-detail 127.0.0.1:7100",
                                           "field malformed-packets 3"};
  for (const auto& w : wanted) EXPECT_NE(std::find(lines.begin(), lines.end(), w), lines.end()) << w;
}

TEST(NcpCommands, ShowKnownNodesListsTheDatabaseInAddressOrder) {
  Fixture f;
  EXPECT_EQ(Answer(Show(ncp::RequestKind::kShowKnownNodes), f.context),
            (std::vector<std::string>{"node 1.1 ALPHA", "node 1.2 BRAVO", "node 1.9 GHOST", "ok"}));
}

TEST(NcpCommands, ANodeThatIsOffSaysWhy) {
  NcpContext off;
  EXPECT_EQ(Answer(Show(ncp::RequestKind::kShowCircuit), off),
            std::vector<std::string>{"error unconfigured no DECnet configuration"});
  off.off_code = ncp::kErrorNotRunning;
  off.off_text = "the DECnet node did not start: port\nin use";
  EXPECT_EQ(Answer(Show(ncp::RequestKind::kShowExecutor), off),
            std::vector<std::string>{"error not-running the DECnet node did not start: port in use"});
}

struct LoopCase {
  const char* title;
  const char* node;
  MirrorBehaviour behaviour;
  std::vector<std::string> wanted;
};

TEST(NcpCommands, LoopsAnswerOneLinePerRoundTripOrSayWhyNot) {
  const LoopCase cases[] = {
      {"answered", "alpha", MirrorBehaviour::kAnswer, {"target 1.1 (ALPHA)", "loop 1", "loop 2", "loop 3", "ok"}},
      {"by address", "1.1", MirrorBehaviour::kAnswer, {"target 1.1 (ALPHA)", "loop 1", "loop 2", "loop 3", "ok"}},
      {"unknown", "NOSUCH", MirrorBehaviour::kAnswer, {"error unknown-node NOSUCH"}},
      {"unreachable", "GHOST", MirrorBehaviour::kAnswer, {"target 1.9 (GHOST)", "error unreachable 1.9 (GHOST)"}},
      {"unnamed address", "2.5", MirrorBehaviour::kAnswer, {"target 2.5", "error unreachable 2.5"}},
      {"wrong data", "ALPHA", MirrorBehaviour::kWrongData,
       {"target 1.1 (ALPHA)", "error failed node 1.1 (ALPHA) answered round trip 1 with other data"}},
      {"disconnected", "ALPHA", MirrorBehaviour::kDisconnect,
       {"target 1.1 (ALPHA)", "error failed node 1.1 (ALPHA) ended the loop (reason 38)"}},
      {"silent", "ALPHA", MirrorBehaviour::kSilent, {"target 1.1 (ALPHA)", "error unreachable 1.1 (ALPHA)"}},
  };
  for (const LoopCase& c : cases) {
    SCOPED_TRACE(c.title);
    Fixture f;
    f.node.reachable[decnet::NodeAddress::Of(1, 1).value] = c.behaviour;
    auto lines = Answer({ncp::RequestKind::kLoop, c.node, 3, 100}, f.context);
    for (auto& line : lines) {
      if (line.rfind("loop ", 0) == 0) line = line.substr(0, line.rfind(' '));  // drop the time
    }
    EXPECT_EQ(lines, c.wanted);
    EXPECT_EQ(f.node.links_open.load(), 0);
  }
}

TEST(NcpCommands, ALoopStopsWhenTheClientGoesAway) {
  Fixture f;
  f.node.reachable[decnet::NodeAddress::Of(1, 1).value] = MirrorBehaviour::kAnswer;
  int written = 0;
  RunNcpRequest({ncp::RequestKind::kLoop, "ALPHA", 1000, 10}, f.context, [&](const std::string&) {
    return ++written < 3;
  });
  EXPECT_EQ(written, 3);
  EXPECT_EQ(f.node.links_open.load(), 0);
}

}  // namespace
}  // namespace pellam::service
