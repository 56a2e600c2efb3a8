// The whole-program benchmarks' X server and time-limited children: a server that
// takes a display and is gone afterwards, a clear reason when Xvfb is missing, and
// children whose exit, crash or hang come back as distinct codes, a hung one killed.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "private_x_server.h"
#include "sandbox.h"

namespace {

// Xvfb missing is a machine without it (setup-debian.sh installs it), not a fault.
bool XvfbMissing(const bench::PrivateXServer& server) {
  return !server.running() && server.why().find("not installed") != std::string::npos;
}

bool Reachable(const std::string& display) {
  xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
  const bool reached = xcb_connection_has_error(connection) == 0;
  xcb_disconnect(connection);
  return reached;
}

TEST(PrivateXServer, TakesADisplayThatIsGoneAfterwards) {
  std::string display;
  {
    const bench::PrivateXServer server;
    if (XvfbMissing(server)) GTEST_SKIP() << server.why();
    ASSERT_TRUE(server.running()) << server.why();
    display = server.display();
    ASSERT_EQ(display.rfind(':', 0), 0u) << display;
    EXPECT_TRUE(Reachable(display));
  }
  EXPECT_FALSE(Reachable(display)) << display << " still answers";
}

TEST(PrivateXServer, SaysSoWhenXvfbIsMissing) {
  const char* saved = std::getenv("PATH");
  const std::string path = saved != nullptr ? saved : "";
  ::setenv("PATH", "/nonexistent", 1);
  const bench::PrivateXServer server;
  ::setenv("PATH", path.c_str(), 1);
  EXPECT_FALSE(server.running());
  EXPECT_NE(server.why().find("not installed"), std::string::npos) << server.why();
}

TEST(RunUnder, ReportsHowTheChildEnded) {
  const bench::PrivateXServer server;
  if (XvfbMissing(server)) GTEST_SKIP() << server.why();
  ASSERT_TRUE(server.running()) << server.why();
  pellam::test::Sandbox sandbox;
  const std::string pidFile = sandbox.Path("child.pid");
  struct Case {
    const char* what;
    std::function<int()> body;
    int wanted;
  };
  const Case cases[] = {
      {"its own exit code", [] { return 7; }, 7},
      {"the display in its environment",
       [&] {
         const char* display = std::getenv("DISPLAY");
         const char* platform = std::getenv("QT_QPA_PLATFORM");
         return display != nullptr && server.display() == display && platform != nullptr &&
                        std::string(platform) == "xcb"
                    ? 0
                    : 1;
       },
       0},
      {"a crash", []() -> int { std::abort(); }, 128 + SIGABRT},
      {"a hang past its limit",
       [&] {
         std::ofstream(pidFile) << ::getpid();
         std::this_thread::sleep_for(std::chrono::seconds(30));
         return 0;
       },
       124},
  };
  for (const Case& c : cases) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(bench::RunUnder(server, 1, c.body), c.wanted) << c.what;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << c.what;
  }
  pid_t hung = 0;
  std::ifstream(pidFile) >> hung;
  ASSERT_GT(hung, 0);
  EXPECT_NE(::kill(hung, 0), 0) << "the hung child is still there";
}

}  // namespace
