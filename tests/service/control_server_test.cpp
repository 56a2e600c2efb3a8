// The control socket: requests answered through it, a socket every user may reach in
// a directory only the service may write, clients that stall or crowd in without
// holding anyone else up, and the Network that serves it with or without a node.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "control_server.h"
#include "decnet_config.h"
#include "fake_node.h"
#include "network.h"
#include "pellam.h"
#include "platform/files.h"
#include "platform/local_socket.h"
#include "platform/registry.h"
#include "sandbox.h"

namespace pellam::service {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Sends `text` and reads until the service closes the connection.
std::string Ask(const std::string& path, const std::string& text, int wait_ms = 3000) {
  platform::UniqueFile s(platform::ConnectLocalSocket(path.c_str()));
  if (!s) return "<no connection>";
  // A busy service answers without reading: what it wrote counts even when the send fails.
  if (!text.empty()) platform::SendWithin(s.get(), text.data(), text.size(), wait_ms);
  std::string answer;
  char buffer[512];
  size_t done = 0;
  while (platform::ReceiveWithin(s.get(), buffer, sizeof buffer, &done, wait_ms) && done > 0) answer.append(buffer, done);
  return answer;
}

struct Recorder {
  std::vector<std::string> events;
  EventLog log{[this](uint32_t, const std::string& text) { events.push_back(text); }};
  std::string All() const {
    std::string all;
    for (const auto& e : events) all += e + "\n";
    return all;
  }
};

// A server whose answer to any request is its spelling, or `lines` lines of text.
struct Served {
  test::Sandbox box;
  Recorder recorder;
  std::string dir = box.Path("run/pellam");
  std::string path = dir + "/" + ncp::kSocketName;
  int lines = 1;
  ControlServer server{recorder.log, [this](const ncp::Request& r, const LineSink& write) {
                         for (int i = 0; i < lines; ++i) {
                           if (!write(ncp::FormatRequest(r) + std::string(200, '.'))) return;
                         }
                         write("ok");
                       }};
};

TEST(ControlServer, AnswersRequestsAndRefusesWhatItDoesNotUnderstand) {
  Served s;
  ASSERT_TRUE(s.server.Start(s.dir)) << s.recorder.All();
  struct stat st{};
  ASSERT_EQ(::lstat(s.path.c_str(), &st), 0);
  EXPECT_TRUE(S_ISSOCK(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0666u) << "every local user may show and loop";
  ASSERT_EQ(::lstat(s.dir.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0755u);
  EXPECT_EQ(Ask(s.path, "show circuit\n"), "show circuit" + std::string(200, '.') + "\nok\n");
  EXPECT_EQ(Ask(s.path, "set executor state off\n"), "error bad-request the request is not understood\n");
  EXPECT_EQ(Ask(s.path, std::string(300, 'x')), "") << "an overlong request is dropped unanswered";
  s.server.Stop();
  EXPECT_FALSE(fs::exists(s.path)) << "the socket goes with the service";
}

TEST(ControlServer, StalledClientsHoldNobodyElseUp) {
  Served s;
  s.lines = 20000;  // far more than a socket buffer holds
  ASSERT_TRUE(s.server.Start(s.dir));
  // One client says nothing; another asks for a long answer and never reads it.
  platform::UniqueFile mute(platform::ConnectLocalSocket(s.path.c_str()));
  platform::UniqueFile deaf(platform::ConnectLocalSocket(s.path.c_str()));
  ASSERT_TRUE(mute && deaf);
  ASSERT_TRUE(platform::SendWithin(deaf.get(), "show executor\n", 14, 1000));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  s.lines = 1;
  const auto start = Clock::now();
  EXPECT_EQ(Ask(s.path, "show circuit\n"), "show circuit" + std::string(200, '.') + "\nok\n");
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
  // Both stalled clients are let go within the service's waits.
  char byte;
  size_t done = 1;
  EXPECT_TRUE(platform::ReceiveWithin(mute.get(), &byte, 1, &done, ControlServer::kRequestWaitMs + 1000));
  EXPECT_EQ(done, 0u) << "the silent client was disconnected";
  const auto stop = Clock::now();
  s.server.Stop();
  EXPECT_LT(Clock::now() - stop, std::chrono::seconds(3));
}

TEST(ControlServer, ClientsBeyondTheLimitAreToldBusy) {
  Served s;
  ASSERT_TRUE(s.server.Start(s.dir));
  std::vector<platform::UniqueFile> crowd;
  for (size_t i = 0; i < ControlServer::kMaxClients; ++i) {
    crowd.emplace_back(platform::ConnectLocalSocket(s.path.c_str()));
    ASSERT_TRUE(crowd.back());
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(Ask(s.path, "show circuit\n"), "error busy too many requests at once\n");
  crowd.clear();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  // Closed clients are noticed as soon as their requests end.
  const auto end = Clock::now() + std::chrono::seconds(5);
  std::string answer;
  while (Clock::now() < end && (answer = Ask(s.path, "show circuit\n")).rfind("error busy", 0) == 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_EQ(answer, "show circuit" + std::string(200, '.') + "\nok\n");
}

TEST(ControlServer, RefusesADirectoryOthersCouldHaveTamperedWith) {
  test::Sandbox box;
  Recorder recorder;
  const auto handler = [](const ncp::Request&, const LineSink&) {};
  // A link in place of the directory.
  fs::create_directories(box.Path("elsewhere"));
  fs::create_directories(box.Path("run"));
  fs::create_directory_symlink(box.Path("elsewhere"), box.Path("run/pellam"));
  EXPECT_FALSE(ControlServer(recorder.log, handler).Start(box.Path("run/pellam")));
  // A directory that others may write into.
  fs::create_directories(box.Path("open"));
  ::chmod(box.Path("open").c_str(), 0777);
  EXPECT_FALSE(ControlServer(recorder.log, handler).Start(box.Path("open")));
  // A file that is not a socket where the socket goes.
  fs::create_directories(box.Path("mine"));
  test::WriteTextFile(box.Path("mine/decnet.sock"), "x");
  EXPECT_FALSE(ControlServer(recorder.log, handler).Start(box.Path("mine")));
  EXPECT_EQ(test::ReadTextFile(box.Path("mine/decnet.sock")), "x");
  ASSERT_EQ(recorder.events.size(), 3u) << recorder.All();
  EXPECT_NE(recorder.events[0].find("Call to ListenLocalSocket failed."), std::string::npos) << recorder.All();
  EXPECT_NE(recorder.events[0].find("pellncp cannot reach the service"), std::string::npos) << recorder.All();
  if (::geteuid() == 0) {
    fs::create_directories(box.Path("users"));
    ASSERT_EQ(::chown(box.Path("users").c_str(), 1234, 1234), 0);
    EXPECT_FALSE(ControlServer(recorder.log, handler).Start(box.Path("users"))) << "owned by another user";
  }
}

TEST(ControlServer, ASecondServiceDoesNotStealTheSocket) {
  Served s;
  ASSERT_TRUE(s.server.Start(s.dir));
  Recorder other;
  EXPECT_FALSE(ControlServer(other.log, [](const ncp::Request&, const LineSink&) {}).Start(s.dir));
  EXPECT_EQ(Ask(s.path, "show circuit\n"), "show circuit" + std::string(200, '.') + "\nok\n");
  // What stands at the socket's name when the service stops goes only if it is a socket.
  ASSERT_EQ(::unlink(s.path.c_str()), 0);
  test::WriteTextFile(s.path, "not ours");
  s.server.Stop();
  EXPECT_EQ(test::ReadTextFile(s.path), "not ours");
}

TEST(ControlServer, ASocketLeftByAKilledServiceIsReplaced) {
  Served s;
  platform::CloseFile(platform::ListenLocalSocket(s.dir.c_str(), ncp::kSocketName, 0600));  // nobody listens now
  ASSERT_TRUE(fs::is_socket(s.path));
  ASSERT_TRUE(s.server.Start(s.dir)) << s.recorder.All();
  EXPECT_EQ(Ask(s.path, "show circuit\n"), "show circuit" + std::string(200, '.') + "\nok\n");
}

void WriteConfig(const std::vector<std::pair<const char*, std::string>>& values) {
  platform::UniqueKey key;
  ASSERT_EQ(platform::RegCreateKeyEx(platform::HKEY_LOCAL_MACHINE, kDecnetKey, key.out()), 0u);
  for (const auto& [name, text] : values) {
    ASSERT_EQ(platform::RegSetValueEx(key.get(), name, platform::REG_SZ, reinterpret_cast<const uint8_t*>(text.c_str()),
                                      static_cast<uint32_t>(text.size() + 1)),
              0u);
  }
}

TEST(Network, StartsTheNodeFromTheConfigurationAndServesIt) {
  test::Sandbox box;
  Recorder recorder;
  WriteConfig({{"Address", "1.2"}, {"Name", "Bravo"}, {"Circuit", "multinet-tcp-listen"}});
  decnet::NodeConfig started;
  Network network(recorder.log, [&](const decnet::NodeConfig& config, std::string*) {
    started = config;
    auto node = std::make_unique<test::FakeNode>();
    node->status.address = config.address;
    node->status.name = config.name;
    return node;
  });
  network.Start("computer", box.Path("run/pellam"));
  EXPECT_EQ(network.local_name(), "BRAVO");
  EXPECT_EQ(started.address, decnet::NodeAddress::Of(1, 2));
  EXPECT_EQ(started.identification.rfind("Pellam V", 0), 0u);
  const std::string answer = Ask(box.Path("run/pellam/decnet.sock"), "show executor\n");
  EXPECT_NE(answer.find("field address 1.2\nfield name BRAVO\n"), std::string::npos) << answer;
  EXPECT_TRUE(recorder.events.empty()) << recorder.All();
  network.Stop();
  EXPECT_EQ(network.node(), nullptr);
}

TEST(Network, WithoutAUsableConfigurationTheSocketSaysSo) {
  test::Sandbox box;
  const std::string socket = box.Path("run/pellam/decnet.sock");
  const auto never = [](const decnet::NodeConfig&, std::string*) -> std::unique_ptr<decnet::Node> {
    ADD_FAILURE() << "no node may start";
    return nullptr;
  };
  {
    Recorder recorder;
    Network network(recorder.log, never);
    network.Start("computer", box.Path("run/pellam"));
    EXPECT_EQ(Ask(socket, "show executor\n"), "error unconfigured no DECnet configuration\n");
    EXPECT_TRUE(recorder.events.empty()) << "no configuration is not a problem: " << recorder.All();
    EXPECT_EQ(network.local_name(), "");
  }
  WriteConfig({{"Address", "1.2000"}, {"Name", "BRAVO"}, {"Circuit", "multinet-tcp-listen"}});
  Recorder recorder;
  Network network(recorder.log, never);
  network.Start("computer", box.Path("run/pellam"));
  ASSERT_EQ(recorder.events.size(), 1u) << recorder.All();
  EXPECT_EQ(recorder.events[0],
            "Unable to parse \"HKLM\\Software\\Corwent\\Pellam\\DECnet\\Address\". / \"1.2000\" is not a node "
            "address: area.node, area 1 to 63, node 1 to 1023. DECnet stays off until it is corrected.");
  EXPECT_EQ(network.local_name(), "BRAVO") << "a valid Name is the node's name even while DECnet is off";
  EXPECT_NE(Ask(socket, "show executor\n").find("error unconfigured no usable DECnet configuration: HKLM"),
            std::string::npos);
}

TEST(Network, ANodeThatCannotStartIsLoggedAndReported) {
  test::Sandbox box;
  Recorder recorder;
  WriteConfig({{"Address", "1.2"}, {"Name", "BRAVO"}, {"Circuit", "ethernet"}, {"Device", "nosuch0"}});
  Network network(recorder.log, [](const decnet::NodeConfig&, std::string* error) -> std::unique_ptr<decnet::Node> {
    *error = "no interface nosuch0.";
    return nullptr;
  });
  network.Start("computer", box.Path("run/pellam"));
  ASSERT_EQ(recorder.events.size(), 1u) << recorder.All();
  EXPECT_EQ(recorder.events[0], "Call to decnet::Node::Start failed. / no interface nosuch0. DECnet stays off.");
  EXPECT_EQ(Ask(box.Path("run/pellam/decnet.sock"), "show circuit\n"),
            "error not-running the DECnet node did not start: no interface nosuch0.\n");
}

}  // namespace
}  // namespace pellam::service
