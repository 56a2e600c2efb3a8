// Two Pellam machines in two sandboxes, each with its own service, joined by Multinet
// over TCP on loopback (one listens, one connects): the adjacency comes up, pellncp
// loops both ways, and all of it comes back after the listening side restarts. Every
// wait is bounded and both services are stopped, whatever happens.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "sandbox.h"

namespace {

using Clock = std::chrono::steady_clock;
using pellam::test::ReadTextFile;
using pellam::test::Sandbox;
using pellam::test::WriteTextFile;

struct Result {
  int status = -1;
  std::string output;
};

// Starts `program` with PELLAM_ROOT=`root`, its output appended to `output`.
pid_t Start(const std::string& root, const std::string& program, const std::vector<std::string>& args,
            const std::string& output) {
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    ::dup2(fd, 1);
    ::dup2(fd, 2);
    ::setenv("PELLAM_ROOT", root.c_str(), 1);
    ::unsetenv("JOURNAL_STREAM");
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  return pid;
}

int Wait(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// A TCP port on loopback that nobody listens on just now.
int FreePort() {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof a;
  const bool ok = ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
                  ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &size) == 0;
  ::close(s);
  return ok ? ntohs(a.sin_port) : 0;
}

// One machine: a sandbox with a system profile and a DECnet key, and its service.
class Machine {
 public:
  Machine(const std::string& address, const std::string& name, const std::string& circuit, int port)
      : name_(name) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08x", port);
    const std::string reg = box_.Path("config.reg");
    WriteTextFile(reg,
                  "Windows Registry Editor Version 5.00\n\n"
                  "[HKEY_LOCAL_MACHINE\\Software\\Corwent\\Pellam]\n"
                  "\"MailQueuePath\"=\"" + box_.Path("queue/") + "\"\n"
                  "\"MailTempPath\"=\"" + box_.Path("temp/") + "\"\n\n"
                  "[HKEY_LOCAL_MACHINE\\Software\\Corwent\\Pellam\\DECnet]\n"
                  "\"Address\"=\"" + address + "\"\n"
                  "\"Name\"=\"" + name + "\"\n"
                  "\"Circuit\"=\"" + circuit + "\"\n"
                  "\"RemoteHost\"=\"127.0.0.1\"\n"
                  "\"LocalHost\"=\"127.0.0.1\"\n"
                  "\"RemotePort\"=dword:" + hex + "\n"
                  "\"LocalPort\"=dword:" + hex + "\n\n"
                  "[HKEY_LOCAL_MACHINE\\Software\\Corwent\\Pellam\\DECnet\\Nodes]\n"
                  "\"ALPHA\"=\"1.1\"\n"
                  "\"BRAVO\"=\"1.2\"\n");
    WriteTextFile(box_.Path("queue/.keep"), "");
    WriteTextFile(box_.Path("temp/.keep"), "");
    EXPECT_EQ(Run(PELLREG_PATH, {"import", reg}).status, 0) << ReadTextFile(box_.Path("pellreg.out"));
  }
  ~Machine() { StopService(); }

  void StartService() { service_ = Start(box_.root(), PELLAM_SERVICE_BINARY, {"--foreground"}, log()); }
  // SIGTERM, then the exit status, or -1 (and SIGKILL) when it does not stop in time.
  int StopService() {
    if (service_ <= 0) return -1;
    ::kill(service_, SIGTERM);
    const auto end = Clock::now() + std::chrono::seconds(10);
    int status = 0;
    while (::waitpid(service_, &status, WNOHANG) == 0) {
      if (Clock::now() > end) {
        ::kill(service_, SIGKILL);
        Wait(service_);
        service_ = -1;
        return -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    service_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

  Result Run(const std::string& program, const std::vector<std::string>& args) {
    const std::string out = box_.Path(name_ + ".run");
    ::unlink(out.c_str());
    Result r;
    r.status = Wait(Start(box_.root(), program, args, out));
    r.output = ReadTextFile(out);
    return r;
  }
  Result Pellncp(const std::vector<std::string>& args) { return Run(PELLNCP_PATH, args); }

  // Waits until pellncp shows `peer` as the adjacent node.
  bool AdjacentTo(const std::string& peer, std::chrono::seconds limit) {
    const auto end = Clock::now() + limit;
    while (Clock::now() < end) {
      if (Pellncp({"show", "circuit"}).output.find("Adjacent node            = " + peer + "\n") != std::string::npos) {
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
  }

  std::string log() const { return box_.Path(name_ + ".log"); }
  std::string Log() const { return ReadTextFile(log()); }

 private:
  Sandbox box_;
  std::string name_;
  pid_t service_ = -1;
};

void ExpectLoop(Machine& from, const std::string& to, const std::string& target) {
  const Result r = from.Pellncp({"loop", "node", to, "count", "3", "length", "256"});
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("Loop to " + target + ": 3 of 3 answered"), std::string::npos) << r.output;
}

TEST(DecnetNodes, TwoServicesLoopBothWaysAndComeBackAfterARestart) {
  const int port = FreePort();
  ASSERT_NE(port, 0);
  Machine alpha("1.1", "ALPHA", "multinet-tcp-listen", port);
  Machine bravo("1.2", "BRAVO", "multinet-tcp-connect", port);
  alpha.StartService();
  bravo.StartService();
  ASSERT_TRUE(alpha.AdjacentTo("1.2 (BRAVO)", std::chrono::seconds(20))) << alpha.Log() << bravo.Log();
  ASSERT_TRUE(bravo.AdjacentTo("1.1 (ALPHA)", std::chrono::seconds(20))) << alpha.Log() << bravo.Log();
  ExpectLoop(bravo, "ALPHA", "1.1 (ALPHA)");
  ExpectLoop(alpha, "1.2", "1.2 (BRAVO)");
  const Result executor = alpha.Pellncp({"show", "executor"});
  EXPECT_NE(executor.output.find("Executor node            = 1.1 (ALPHA)\n"), std::string::npos) << executor.output;
  EXPECT_NE(alpha.Log().find("sender ready for outgoing mail-11 messages"), std::string::npos) << alpha.Log();
  EXPECT_NE(alpha.Log().find(" on ALPHA "), std::string::npos) << "the DECnet name is the local node name";

  // The listening side goes away and comes back; the connecting side finds it again.
  EXPECT_EQ(alpha.StopService(), 0) << alpha.Log();
  const Result down = bravo.Pellncp({"loop", "node", "ALPHA"});
  EXPECT_EQ(down.status, 1) << down.output;
  EXPECT_NE(down.output.find("pellncp: node unreachable: 1.1 (ALPHA)"), std::string::npos) << down.output;
  alpha.StartService();
  ASSERT_TRUE(bravo.AdjacentTo("1.1 (ALPHA)", std::chrono::seconds(30))) << alpha.Log() << bravo.Log();
  ExpectLoop(bravo, "ALPHA", "1.1 (ALPHA)");
  ExpectLoop(alpha, "BRAVO", "1.2 (BRAVO)");
  EXPECT_EQ(bravo.StopService(), 0) << bravo.Log();
  EXPECT_EQ(alpha.StopService(), 0) << alpha.Log();
}

}  // namespace
