// The built pellncp run whole against a control socket served in-process over a fake
// node: the displays, a loop, and every message the program can print with its exit
// code, from bad arguments to a service that is not there or does not answer.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "control_server.h"
#include "decnet_config.h"
#include "fake_node.h"
#include "needs_root.h"
#include "network.h"
#include "platform/files.h"
#include "platform/local_socket.h"
#include "platform/registry.h"
#include "sandbox.h"

namespace pellncp {
namespace {

using Args = std::vector<std::string>;
using pellam::service::EventLog;
using pellam::service::Network;
using pellam::test::FakeNode;
using pellam::test::MirrorBehaviour;

struct Outcome {
  int status = -1;
  std::string out, err;
};

// Runs pellncp (as `uid` when not -1) with its output in files of the sandbox.
Outcome RunPellncp(const pellam::test::Sandbox& box, const Args& args, const char* stdout_path = nullptr, uid_t uid = -1) {
  const std::string out = stdout_path ? stdout_path : box.Path("stdout"), err = box.Path("stderr");
  std::vector<char*> argv = {const_cast<char*>(PELLNCP_PROGRAM)};
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (o < 0 || e < 0) ::_exit(126);
    ::dup2(o, 1);
    ::dup2(e, 2);
    if (uid != static_cast<uid_t>(-1) && (::setgid(uid) != 0 || ::setuid(uid) != 0)) ::_exit(125);
    ::execv(PELLNCP_PROGRAM, argv.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  Outcome o;
  o.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  if (!stdout_path) o.out = pellam::test::ReadTextFile(out);
  o.err = pellam::test::ReadTextFile(err);
  return o;
}

void Configure() {
  platform::UniqueKey key;
  ASSERT_EQ(platform::RegCreateKeyEx(platform::HKEY_LOCAL_MACHINE, pellam::service::kDecnetKey, key.out()), 0u);
  for (const auto& [name, text] : {std::pair<const char*, std::string>{"Address", "1.2"},
                                   {"Name", "BRAVO"},
                                   {"Circuit", "multinet-tcp-listen"}}) {
    ASSERT_EQ(platform::RegSetValueEx(key.get(), name, platform::REG_SZ, reinterpret_cast<const uint8_t*>(text.c_str()),
                                      static_cast<uint32_t>(text.size() + 1)),
              0u);
  }
}

// A sandbox with a configured service serving a fake node that reaches ALPHA (and
// CHARLY, which answers with other data).
struct Service {
  pellam::test::Sandbox box;
  EventLog log{[](uint32_t, const std::string&) {}};
  Network network{log, [](const decnet::NodeConfig& config, std::string*) {
                    auto node = std::make_unique<FakeNode>();
                    node->status.address = config.address;
                    node->status.name = config.name;
                    node->status.state = "on";
                    node->status.circuit = {"MUL-0", "on", decnet::NodeAddress::Of(1, 1), "routing IV", "127.0.0.1:7100"};
                    node->db = config.nodes;
                    node->db.Add("ALPHA", decnet::NodeAddress::Of(1, 1));
                    node->db.Add("CHARLY", decnet::NodeAddress::Of(1, 3));
                    node->db.Add("GHOST", decnet::NodeAddress::Of(1, 9));
                    node->reachable[decnet::NodeAddress::Of(1, 1).value] = MirrorBehaviour::kAnswer;
                    node->reachable[decnet::NodeAddress::Of(1, 3).value] = MirrorBehaviour::kWrongData;
                    return node;
                  }};
  Service() {
    Configure();
    network.Start("computer", box.Path("run/pellam"));
  }
};

TEST(PellncpProgram, HelpVersionAndBadArguments) {
  pellam::test::Sandbox box;
  Outcome o = RunPellncp(box, {"--help"});
  EXPECT_EQ(o.status, 0);
  EXPECT_NE(o.out.find("pellncp loop node NAME [count N] [length L]"), std::string::npos) << o.out;
  o = RunPellncp(box, {"--version"});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, std::string("pellncp ") + PELLNCP_VERSION + "\n");
  o = RunPellncp(box, {"show", "lines"});
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(o.err.rfind("pellncp: show: say \"show executor\", \"show circuit\" or \"show known nodes\"\nusage:", 0), 0u)
      << o.err;
  o = RunPellncp(box, {});
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(o.err.rfind("pellncp: a command is missing\n", 0), 0u) << o.err;
}

TEST(PellncpProgram, ShowsTheExecutorTheCircuitAndTheKnownNodes) {
  Service s;
  Outcome o = RunPellncp(s.box, {"show", "executor"});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find("Executor node            = 1.2 (BRAVO)\n"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("Adjacent node            = 1.1 (ALPHA)\n"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("  Malformed packets      = 0\n"), std::string::npos) << o.out;
  o = RunPellncp(s.box, {"sho", "cir"});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find("Circuit                  = MUL-0\nCircuit state            = on\n"), std::string::npos) << o.out;
  o = RunPellncp(s.box, {"show", "known", "nodes"});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find("    1.1            ALPHA\n    1.2            BRAVO\n"), std::string::npos) << o.out;
}

TEST(PellncpProgram, LoopsAndSaysWhyALoopFailed) {
  Service s;
  Outcome o = RunPellncp(s.box, {"loop", "node", "alpha", "count", "3", "length", "100"});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out.rfind("Looping to node 1.1 (ALPHA), object MIRROR, 3 messages of 100 bytes\n  1: ", 0), 0u) << o.out;
  EXPECT_NE(o.out.find("\n  3: "), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("Loop to 1.1 (ALPHA): 3 of 3 answered, round trip min/avg/max = "), std::string::npos) << o.out;
  const struct {
    Args args;
    int status;
    std::string err;
  } failures[] = {
      {{"loop", "node", "NOSUCH"}, 3, "pellncp: unknown node: NOSUCH\n"},
      {{"loop", "node", "GHOST"}, 1, "pellncp: node unreachable: 1.9 (GHOST)\n"},
      {{"loop", "node", "CHARLY"}, 1, "pellncp: loop failed: node 1.3 (CHARLY) answered round trip 1 with other data\n"},
  };
  for (const auto& f : failures) {
    o = RunPellncp(s.box, f.args);
    EXPECT_EQ(o.status, f.status) << f.err;
    EXPECT_EQ(o.err, f.err);
  }
}

TEST(PellncpProgram, WithoutDecnetOrWithoutTheService) {
  pellam::test::Sandbox box;
  const std::string socket = box.Path("run/pellam/decnet.sock");
  Outcome o = RunPellncp(box, {"show", "executor"});
  EXPECT_EQ(o.status, 5);
  EXPECT_EQ(o.err, "pellncp: service not running (nothing listens on " + socket + ")\n");
  EventLog log{[](uint32_t, const std::string&) {}};
  {
    Network network(log, nullptr);
    network.Start("computer", box.Path("run/pellam"));
    o = RunPellncp(box, {"show", "executor"});
    EXPECT_EQ(o.status, 4);
    EXPECT_EQ(o.err, "pellncp: no DECnet configuration\n");
  }
  o = RunPellncp(box, {"show", "circuit"});
  EXPECT_EQ(o.status, 5) << "the socket went with the service";
  Configure();
  Network failing(log, [](const decnet::NodeConfig&, std::string* error) -> std::unique_ptr<decnet::Node> {
    *error = "port 700 is in use.";
    return nullptr;
  });
  failing.Start("computer", box.Path("run/pellam"));
  o = RunPellncp(box, {"loop", "node", "ALPHA"});
  EXPECT_EQ(o.status, 4);
  EXPECT_EQ(o.err, "pellncp: DECnet node not running: the DECnet node did not start: port 700 is in use.\n");
}

TEST(PellncpProgram, AServiceThatRefusesIsBusyOrDoesNotAnswer) {
  pellam::test::Sandbox box;
  const std::string dir = box.Path("run/pellam");
  EventLog log{[](uint32_t, const std::string&) {}};
  {
    pellam::service::ControlServer refusing(log, [](const pellam::ncp::Request&, const pellam::service::LineSink& w) {
      w("error bad-request not in this version");
    });
    ASSERT_TRUE(refusing.Start(dir));
    const Outcome o = RunPellncp(box, {"show", "executor"});
    EXPECT_EQ(o.status, 5);
    EXPECT_EQ(o.err, "pellncp: the service refused the request: bad-request not in this version\n");
    std::vector<platform::UniqueFile> crowd;
    for (size_t i = 0; i < pellam::service::ControlServer::kMaxClients; ++i) {
      crowd.emplace_back(platform::ConnectLocalSocket((dir + "/decnet.sock").c_str()));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const Outcome busy = RunPellncp(box, {"show", "executor"});
    EXPECT_EQ(busy.status, 5);
    EXPECT_EQ(busy.err, "pellncp: the service is busy with other requests; try again\n");
  }
  // A socket whose owner never answers.
  platform::UniqueFile mute(platform::ListenLocalSocket(dir.c_str(), "decnet.sock", 0666));
  ASSERT_TRUE(mute);
  const Outcome o = RunPellncp(box, {"show", "executor"});
  EXPECT_EQ(o.status, 5);
  EXPECT_EQ(o.err, "pellncp: the service did not answer\n");
}

TEST(PellncpProgram, OutputThatCannotBeWrittenAndASocketThatMayNotBeUsed) {
  Service s;
  Outcome o = RunPellncp(s.box, {"show", "executor"}, "/dev/full");
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "pellncp: cannot write to standard output\n");
  PELLAM_NEEDS_ROOT("switches to another user");
  const std::string socket = s.box.Path("run/pellam/decnet.sock");
  ASSERT_EQ(::chmod(socket.c_str(), 0600), 0);
  o = RunPellncp(s.box, {"show", "executor"}, nullptr, 1234);
  EXPECT_EQ(o.status, 5);
  EXPECT_EQ(o.err, "pellncp: cannot reach the service: permission denied on " + socket + "\n");
}

}  // namespace
}  // namespace pellncp
