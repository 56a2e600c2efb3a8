// setup as a whole program, as an administrator runs it: its help and command-line
// refusals, an unattended install into a sandbox and a second one over it, and, with
// the real Pellam service, an install whose started service delivers posted mail.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "needs_root.h"
#include "pellam.h"
#include "platform/services.h"
#include "setup_sandbox.h"

namespace {

namespace fs = std::filesystem;
using pellam::test::HasInOrder;
using pellam::test::ProcessLives;
using pellam::test::ReadTextFile;
using pellam::test::SetupSandbox;
using pellam::test::StartedPid;
using pellam::test::TestService;
using pellam::test::WaitFor;
using pellam::test::WriteTextFile;

struct Outcome {
  int exit_code = -1;
  std::string out;
  std::string err;
};

std::string Drain(int fd) {
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
  ::close(fd);
  return text;
}

// Runs the built setup with `args`; standard output and error are collected (error
// into a file, so that neither pipe can fill while the other is read).
Outcome RunSetup(const std::vector<std::string>& args, const std::string& err_file) {
  int out[2];
  if (::pipe(out) != 0) return {};
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(out[1], STDOUT_FILENO);
    FILE* err = std::fopen(err_file.c_str(), "w");
    if (err != nullptr) ::dup2(fileno(err), STDERR_FILENO);
    ::close(out[0]);
    ::close(out[1]);
    std::vector<char*> argv{const_cast<char*>("setup")};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const std::string runtime = err_file + ".runtime";
    ::mkdir(runtime.c_str(), 0700);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);  // Qt wants it private (0700)
    ::execv(SETUP_PROGRAM, argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  Outcome o;
  o.out = Drain(out[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  o.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  o.err = ReadTextFile(err_file);
  return o;
}

class SetupProgram : public ::testing::Test {
 protected:
  Outcome Run(const std::vector<std::string>& args) { return RunSetup(args, s_.box().Path("stderr.txt")); }

  // Runs an unattended install with these answers from the sandbox's source.
  Outcome Install(const std::string& answers) {
    const std::string file = s_.box().Path("answers" + std::to_string(++runs_) + ".txt");
    WriteTextFile(file, answers);
    return Run({"--source", s_.source(), "--script", file});
  }

  static void StopService() {
    platform::SC_HANDLE scm = platform::OpenSCManager(platform::SC_MANAGER_CONNECT);
    platform::SC_HANDLE service = platform::OpenService(scm, "Pellam", platform::SERVICE_ALL_ACCESS);
    platform::ServiceStatus status{};
    if (service != nullptr && platform::ControlService(service, platform::SERVICE_CONTROL_STOP, &status)) {
      WaitFor([&] { return platform::QueryServiceStatus(service, &status) && status.current_state == platform::SERVICE_STOPPED; }, 10000);
    }
    if (service != nullptr) platform::CloseServiceHandle(service);
    platform::CloseServiceHandle(scm);
  }

  SetupSandbox s_;
  int runs_ = 0;
};

TEST_F(SetupProgram, HelpShowsTheAnswersFormatAndBadCommandLinesAreRefused) {
  const Outcome help = Run({"--help"});
  EXPECT_EQ(help.exit_code, 0);
  for (const char* part : {"usage:  setup [--source DIR] [--inf-dir DIR] [--script ANSWERS]",
                           "<dialog> <EVENT> [<text>]", "copy QUIT <n>", "500 CONTINUE /opt/pellam",
                           "Exit codes: 0 installed, 1 installation failed, 2 the user quit"}) {
    EXPECT_NE(help.out.find(part), std::string::npos) << part << "\n" << help.out;
  }
  struct Row {
    std::vector<std::string> args;
    std::string error;
  };
  WriteTextFile(s_.box().Path("bad-answers"), "100 GO\n");
  WriteTextFile(s_.box().Path("huge-answers"), std::string((1u << 20) + 1, '\n'));
  std::filesystem::create_directories(s_.box().Path("answers-dir"));
  const Row rows[] = {
      // Bad input is refused for what it is, and an endless device is not read whole.
      {{"--script", s_.box().Path("answers-dir")},
       "setup: the answers file " + s_.box().Path("answers-dir") + " is a directory\n"},
      {{"--script", "/dev/zero"}, "setup: the answers file /dev/zero is not a regular file\n"},
      {{"--script", s_.box().Path("huge-answers")},
       "setup: the answers file " + s_.box().Path("huge-answers") + " is larger than 1048576 bytes\n"},
      {{"--script"}, "setup: --script needs a value\n"},
      {{"--script", s_.box().Path("none")}, "setup: cannot read the answers file " + s_.box().Path("none") + "\n"},
      {{"--script", s_.box().Path("bad-answers")},
       "setup: " + s_.box().Path("bad-answers") + ": line 1: the event is BACK, CANCEL, CONTINUE or EXIT\n"},
      {{"--bogus"}, "setup: unknown argument: --bogus\n"},
  };
  for (const Row& r : rows) {
    const Outcome o = Run(r.args);
    EXPECT_EQ(o.exit_code, 64) << r.error;
    EXPECT_EQ(o.err.rfind(r.error, 0), 0u) << "got " << o.err << "wanted " << r.error;
    EXPECT_NE(o.err.find("usage:"), std::string::npos);
  }
}

TEST_F(SetupProgram, InstallsUnattendedAndAgainOverTheFirstInstall) {
  s_.MakeSource(TestService::kRunsUntilStopped);
  const std::string programs = s_.DefaultProgramDir() + "/";
  const Outcome first = Install("100 CONTINUE\n500 CONTINUE\n600 CONTINUE\n300 CONTINUE\n600 CONTINUE\n");
  ASSERT_EQ(first.exit_code, 0) << first.out << first.err;
  EXPECT_TRUE(HasInOrder(first.out, {"title \"Pellam Setup\"", "note 5200", "dialog 700 CONTINUE"})) << first.out;
  ASSERT_TRUE(WaitFor([&] { return StartedPid(programs + "pellam") != 0; }, 5000));
  const pid_t old_pid = StartedPid(programs + "pellam");
  WriteTextFile(s_.DefaultMailDir() + "/queue/snd00A1.mai", "queued before the second install\r\n");

  const Outcome second = Install("100 CONTINUE\n500 CONTINUE\n300 CONTINUE\n");
  EXPECT_EQ(second.exit_code, 0) << second.out << second.err;
  const std::string programs_shown = "\"" + s_.DefaultProgramDir() + "\"";
  const std::string mail_shown = "\"" + s_.DefaultMailDir() + "\"";
  EXPECT_TRUE(HasInOrder(second.out, {"dialog 500 " + programs_shown + " CONTINUE " + programs_shown,
                                      "dialog 300 " + mail_shown + " CONTINUE " + mail_shown, "note 5100",
                                      "note 5200", "dialog 700 CONTINUE"}))
      << second.out;
  EXPECT_EQ(second.out.find("message"), std::string::npos) << second.out;
  EXPECT_FALSE(ProcessLives(old_pid));
  EXPECT_TRUE(ProcessLives(StartedPid(programs + "pellam")));
  EXPECT_EQ(ReadTextFile(s_.DefaultMailDir() + "/queue/snd00A1.mai"), "queued before the second install\r\n");
}

TEST_F(SetupProgram, AFailedInstallEndsWithItsExitCode) {
  s_.MakeSource(TestService::kExitsAtOnce);
  const Outcome o = Install("100 CONTINUE\n500 CONTINUE\n600 CONTINUE\n300 CONTINUE\n600 CONTINUE\n");
  EXPECT_EQ(o.exit_code, 1);
  EXPECT_TRUE(HasInOrder(o.out, {"message stop Setup Error: Failed to start Pellam service", "dialog 400 CONTINUE"}))
      << o.out;
}

#ifdef PELLAM_SERVICE_BINARY
TEST_F(SetupProgram, TheServiceThatSetupStartedDeliversPostedMail) {
  PELLAM_NEEDS_ROOT("bob registers and the service delivers in his identity");
  // The source holds the real service and the libraries it needs, as a built tree does.
  fs::copy_file(PELLAM_SERVICE_BINARY, s_.source() + "pellam");
  std::string inf = "[Files]\npellam\n[System]\n";
  for (const fs::path library : {PELLAM_PLATFORM_LIBRARY, PELLAM_MAIL_LIBRARY, PELLAM_DECNET_LIBRARY}) {
    inf += library.filename().string() + " = " + library.string() + "\n";
  }
  WriteTextFile(s_.source() + "setup.inf", inf);
  s_.box().AddCurrentUser("ann", "Ann Smith");
  MailProfile sender{};
  ASSERT_EQ(GetMailProfile(&sender, sizeof sender), 0u) << "ann registers as she first sends";
  s_.box().AddUser("bob", 1001, "Bob Jones", "/home/bob");
  ASSERT_EQ(pellam::test::RunAsUser(1001, 1001,
                                    [] {
                                      MailProfile p{};
                                      return GetMailProfile(&p, sizeof p) == 0 ? 0 : 1;
                                    }),
            0);

  // The real service is no test program that the sandbox ends: stop it whatever happens.
  struct StopAtEnd {
    ~StopAtEnd() { StopService(); }
  } stop_at_end;
  const Outcome o = Install("100 CONTINUE\n500 CONTINUE\n600 CONTINUE\n300 CONTINUE\n600 CONTINUE\n");
  ASSERT_EQ(o.exit_code, 0) << o.out << o.err;

  const std::string text = "To: bob\r\nSubject: Installed\r\n\r\nThe service setup started delivers this.\r\n";
  const char* error = nullptr;
  ASSERT_EQ(SendMailMessageFromText(text.data(), static_cast<int32_t>(text.size()), &error), 0u);
  const std::string delivered = s_.box().Path("home/bob/mail/new/msg0001.mai");
  EXPECT_TRUE(WaitFor([&] { return fs::exists(delivered); }, 20000)) << "nothing arrived in bob's new folder";
  EXPECT_NE(ReadTextFile(delivered).find("The service setup started delivers this."), std::string::npos);
}
#endif

}  // namespace
