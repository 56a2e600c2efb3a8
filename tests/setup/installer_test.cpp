// The installer's sequence with the scripted front end in a sandbox: an unattended
// install, a second install over the first, every message of the installer with what
// it leaves behind, the directory dialog's paths, the quit confirmation, and failures
// of the system by fault injection.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "menu_items.h"
#include "pellam.h"
#include "platform/errors.h"
#include "platform/fault.h"
#include "platform/registry.h"
#include "platform/services.h"
#include "setup_sandbox.h"

namespace {

namespace fs = std::filesystem;
namespace fault = platform::fault;
using pellam::test::HasInOrder;
using pellam::test::LinesStartingWith;
using pellam::test::ProcessLives;
using pellam::test::ReadTextFile;
using pellam::test::SetupRun;
using pellam::test::SetupSandbox;
using pellam::test::StartedPid;
using pellam::test::StartNote;
using pellam::test::TestService;
using pellam::test::WaitFor;
using pellam::test::WriteTextFile;

constexpr char kFreshInstall[] = "100 CONTINUE\n500 CONTINUE\n600 CONTINUE\n300 CONTINUE\n600 CONTINUE\n";
constexpr char kServiceKey[] = "System\\CurrentControlSet\\Services\\Pellam";

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// A path of exactly `length` characters below `base` (which it begins with), in
// names short enough for the filesystem.
std::string PathOfLength(const std::string& base, std::size_t length) {
  std::string path = base;
  while (path.size() < length) {
    const std::size_t left = length - path.size();
    path += "/" + std::string(std::min<std::size_t>(left > 1 ? left - 1 : 1, 100), 'd');
  }
  return path.substr(0, length);
}

class Install : public ::testing::Test {
 protected:
  std::string ProgramDir() const { return s_.DefaultProgramDir() + "/"; }
  std::string MailDir() const { return s_.DefaultMailDir() + "/"; }

  static MailSystemProfile Profile() {
    MailSystemProfile profile{};
    EXPECT_EQ(GetMailSystemProfile(&profile, sizeof profile), 0u);
    return profile;
  }

  // The service's program as recorded, or "" when there is no service.
  static std::string ImagePath() {
    platform::SC_HANDLE scm = platform::OpenSCManager(platform::SC_MANAGER_CONNECT);
    platform::SC_HANDLE service = platform::OpenService(scm, "Pellam", platform::SERVICE_QUERY_CONFIG);
    alignas(platform::ServiceConfig) unsigned char buffer[1024];
    uint32_t needed = 0;
    std::string path;
    if (service != nullptr && platform::QueryServiceConfig(service, reinterpret_cast<platform::ServiceConfig*>(buffer),
                                                            sizeof buffer, &needed)) {
      path = reinterpret_cast<platform::ServiceConfig*>(buffer)->binary_path_name;
    }
    if (service != nullptr) platform::CloseServiceHandle(service);
    platform::CloseServiceHandle(scm);
    return path;
  }

  // The service's state, 0 when there is no service.
  static uint32_t ServiceState() {
    platform::SC_HANDLE scm = platform::OpenSCManager(platform::SC_MANAGER_CONNECT);
    platform::SC_HANDLE service = platform::OpenService(scm, "Pellam", platform::SERVICE_ALL_ACCESS);
    platform::ServiceStatus status{};
    const bool known = service != nullptr && platform::QueryServiceStatus(service, &status);
    if (service != nullptr) platform::CloseServiceHandle(service);
    platform::CloseServiceHandle(scm);
    return known ? status.current_state : 0;
  }

  static void StopService() {
    platform::SC_HANDLE scm = platform::OpenSCManager(platform::SC_MANAGER_CONNECT);
    platform::SC_HANDLE service = platform::OpenService(scm, "Pellam", platform::SERVICE_ALL_ACCESS);
    platform::ServiceStatus status{};
    ASSERT_TRUE(platform::ControlService(service, platform::SERVICE_CONTROL_STOP, &status));
    platform::CloseServiceHandle(service);
    platform::CloseServiceHandle(scm);
    ASSERT_TRUE(WaitFor([] { return ServiceState() == platform::SERVICE_STOPPED; }, 3000));
  }

  // The run ended through the failure exit after `message`, without the final dialog.
  static void ExpectFailed(const SetupRun& run, const std::string& message) {
    EXPECT_EQ(run.exit_code, 1) << run.transcript;
    EXPECT_TRUE(HasInOrder(run.transcript, {message, "dialog 400 CONTINUE"})) << run.transcript;
    EXPECT_EQ(run.transcript.find("dialog 700"), std::string::npos) << run.transcript;
  }

  SetupSandbox s_;
};

TEST_F(Install, AnUnattendedInstallPutsEverythingInPlace) {
  s_.MakeSource(TestService::kRunsUntilStopped);
  const SetupRun run = s_.Install(kFreshInstall);
  EXPECT_EQ(run.exit_code, 0) << run.transcript;
  EXPECT_TRUE(HasInOrder(run.transcript,
                         {"title \"Pellam Setup\"", "dialog 100 CONTINUE",
                          "dialog 500 " + Quoted(s_.DefaultProgramDir()) + " CONTINUE " + Quoted(s_.DefaultProgramDir()),
                          "dialog 600 CONTINUE",
                          "dialog 300 " + Quoted(s_.DefaultMailDir()) + " CONTINUE " + Quoted(s_.DefaultMailDir()),
                          "dialog 600 CONTINUE", "copy 4 files, gauge at 155,130", "note 5000", "notes closed",
                          "note 5200", "notes closed", "dialog 700 CONTINUE"}))
      << run.transcript;
  EXPECT_TRUE(LinesStartingWith(run.transcript, "message").empty()) << run.transcript;
  EXPECT_EQ(run.transcript.find("note 5100"), std::string::npos) << "there was no earlier service";

  for (const char* name : {"pellam", "pelldesk", "pellpost", "pellreadme.txt"}) {
    EXPECT_EQ(ReadTextFile(ProgramDir() + name), ReadTextFile(s_.source() + name)) << name;
  }
  EXPECT_EQ(::access((ProgramDir() + "pellam").c_str(), X_OK), 0) << "the copy keeps the mode";

  EXPECT_EQ(ImagePath(), ProgramDir() + "pellam");
  EXPECT_EQ(ServiceState(), platform::SERVICE_RUNNING);
  ASSERT_TRUE(WaitFor([&] { return !StartNote(ProgramDir() + "pellam").empty(); }, 3000));
  EXPECT_EQ(StartNote(ProgramDir() + "pellam"),
            std::to_string(StartedPid(ProgramDir() + "pellam")) + " --foreground root=" + s_.box().root());

  const MailSystemProfile profile = Profile();
  EXPECT_EQ(std::string(profile.MailQueuePath), MailDir() + "queue/");
  EXPECT_EQ(std::string(profile.MailTempPath), MailDir() + "temp/");
  for (const char* dir : {"queue", "temp"}) {
    struct stat st {};
    ASSERT_EQ(::stat((MailDir() + dir).c_str(), &st), 0) << dir;
    EXPECT_EQ(st.st_mode & 07777, 01777u) << dir << ": every user posts through it";
  }

  if (::geteuid() == 0) {
    const std::string apps = s_.box().Path("usr/local/share/applications/");
    EXPECT_EQ(ReadTextFile(apps + "pellam.desktop"),
              "[Desktop Entry]\nType=Application\nName=Pellam\nComment=Read, write and file your mail\nExec=" +
                  ProgramDir() + "pelldesk\nIcon=pellam\nTerminal=false\nCategories=Utility;\n")
        << "as complete as the package's own entry, which it takes the place of";
    EXPECT_EQ(ReadTextFile(apps + "pellam-readme.desktop"),
              "[Desktop Entry]\nType=Application\nName=Pellam ReadMe\nComment=How to install and use Pellam\n"
              "Exec=xdg-open " + ProgramDir() + "pellreadme.txt\nIcon=pellam\nTerminal=false\nCategories=Utility;\n");
  }
}

TEST_F(Install, ASecondInstallProposesTheFirstsDirectoriesAndReplacesItsService) {
  s_.MakeSource(TestService::kRunsUntilStopped);
  const std::string programs = s_.box().Path("apps/pellam");
  const std::string mail = s_.box().Path("mail");
  s_.Track(programs + "/pellam");
  const SetupRun first = s_.Install("100 CONTINUE\n500 CONTINUE " + programs + "\n600 CONTINUE\n300 CONTINUE " +
                                    mail + "/\n600 CONTINUE\n");
  ASSERT_EQ(first.exit_code, 0) << first.transcript;
  ASSERT_TRUE(WaitFor([&] { return StartedPid(programs + "/pellam") != 0; }, 3000));
  const pid_t old_pid = StartedPid(programs + "/pellam");
  WriteTextFile(mail + "/queue/snd0001.mai", "a queued message\r\n");
  WriteTextFile(mail + "/temp/ctl0001.tmp", "a message being written\r\n");
  WriteTextFile(s_.source() + "pellpost", "the newer pellpost\n");

  const SetupRun second = s_.Install("100 CONTINUE\n500 CONTINUE\n300 CONTINUE\n");
  EXPECT_EQ(second.exit_code, 0) << second.transcript;
  EXPECT_TRUE(HasInOrder(second.transcript,
                         {"dialog 500 " + Quoted(programs) + " CONTINUE " + Quoted(programs),
                          "dialog 300 " + Quoted(mail) + " CONTINUE " + Quoted(mail), "note 5100", "notes closed",
                          "copy 4 files, gauge at 155,130", "note 5000", "note 5200", "dialog 700 CONTINUE"}))
      << second.transcript;
  EXPECT_TRUE(LinesStartingWith(second.transcript, "message").empty()) << second.transcript;
  EXPECT_FALSE(ProcessLives(old_pid)) << "the earlier service was stopped";
  ASSERT_TRUE(WaitFor([&] { return StartedPid(programs + "/pellam") != old_pid; }, 3000));
  EXPECT_TRUE(ProcessLives(StartedPid(programs + "/pellam")));
  EXPECT_EQ(ServiceState(), platform::SERVICE_RUNNING);
  EXPECT_EQ(ImagePath(), programs + "/pellam");
  EXPECT_EQ(ReadTextFile(programs + "/pellpost"), "the newer pellpost\n");
  EXPECT_EQ(ReadTextFile(mail + "/queue/snd0001.mai"), "a queued message\r\n");
  EXPECT_EQ(ReadTextFile(mail + "/temp/ctl0001.tmp"), "a message being written\r\n");
}

TEST_F(Install, AnEarlierServiceAlreadyStoppedIsDeletedWithoutTheStopNote) {
  s_.MakeSource(TestService::kRunsUntilStopped);
  ASSERT_EQ(s_.Install(kFreshInstall).exit_code, 0);
  StopService();
  const SetupRun run = s_.Install("100 CONTINUE\n500 CONTINUE\n300 CONTINUE\n");
  EXPECT_EQ(run.exit_code, 0) << run.transcript;
  EXPECT_EQ(run.transcript.find("note 5100"), std::string::npos) << run.transcript;
  EXPECT_TRUE(LinesStartingWith(run.transcript, "message").empty()) << run.transcript;
  EXPECT_EQ(ServiceState(), platform::SERVICE_RUNNING);
}

TEST_F(Install, AnEarlierServiceThatWillNotStopWarnsAndTheInstallGoesOn) {
  s_.MakeSource(TestService::kIgnoresStop);
  ASSERT_EQ(s_.Install(kFreshInstall).exit_code, 0);
  ASSERT_TRUE(WaitFor([&] { return StartedPid(ProgramDir() + "pellam") != 0; }, 3000));
  WriteTextFile(s_.source() + "pellpost", "the newer pellpost\n");
  const SetupRun run = s_.Install("100 CONTINUE\n500 CONTINUE\n300 CONTINUE\n");
  // The stop is waited for, warned about, and the files are copied all the same; the
  // old record, marked for deletion while its service runs, keeps the name taken.
  EXPECT_TRUE(HasInOrder(run.transcript,
                         {"note 5100", "notes closed",
                          "message exclamation Setup Error: Failed to stop existing Pellam service",
                          "copy 4 files, gauge at 155,130", "note 5000"}))
      << run.transcript;
  ExpectFailed(run, "message stop Setup Error: Failed to install Pellam service");
  EXPECT_EQ(ReadTextFile(ProgramDir() + "pellpost"), "the newer pellpost\n");
  EXPECT_TRUE(ProcessLives(StartedPid(ProgramDir() + "pellam")));
  EXPECT_EQ(run.transcript.find("Failed to delete"), std::string::npos) << run.transcript;
}

TEST_F(Install, AnEarlierServiceThatCannotBeDeletedWarnsAndTheInstallGoesOn) {
  s_.MakeSource(TestService::kRunsUntilStopped);
  ASSERT_EQ(s_.Install(kFreshInstall).exit_code, 0);
  // A key below the record keeps the store from deleting it.
  platform::UniqueKey below;
  ASSERT_EQ(platform::RegCreateKeyEx(platform::HKEY_LOCAL_MACHINE, (std::string(kServiceKey) + "\\Enum").c_str(),
                                     below.out()),
            0u);
  const SetupRun run = s_.Install("100 CONTINUE\n500 CONTINUE\n300 CONTINUE\n");
  EXPECT_TRUE(HasInOrder(run.transcript,
                         {"note 5100", "notes closed",
                          "message exclamation Setup Error: Failed to delete existing Pellam service",
                          "copy 4 files, gauge at 155,130"}))
      << run.transcript;
  EXPECT_EQ(run.transcript.find("Failed to stop"), std::string::npos) << run.transcript;
  ExpectFailed(run, "message stop Setup Error: Failed to install Pellam service");
}

TEST_F(Install, AServiceThatWillNotStartFailsWithEverythingElseLeftInstalled) {
  s_.MakeSource(TestService::kExitsAtOnce);
  const SetupRun run = s_.Install(kFreshInstall);
  EXPECT_TRUE(HasInOrder(run.transcript, {"note 5200", "notes closed"})) << run.transcript;
  ExpectFailed(run, "message stop Setup Error: Failed to start Pellam service");
  EXPECT_TRUE(fs::exists(ProgramDir() + "pellpost"));
  EXPECT_EQ(ImagePath(), ProgramDir() + "pellam");
  EXPECT_EQ(ServiceState(), platform::SERVICE_STOPPED);
  EXPECT_EQ(std::string(Profile().MailQueuePath), MailDir() + "queue/");
  EXPECT_TRUE(fs::is_directory(MailDir() + "temp"));
}

TEST_F(Install, ParametersThatCannotBeWrittenFailWithTheServiceLeftRecorded) {
  s_.MakeSource(TestService::kRunsUntilStopped);
  // A number of the wrong type makes the profile unreadable after the update.
  platform::UniqueKey key;
  ASSERT_EQ(platform::RegCreateKeyEx(platform::HKEY_LOCAL_MACHINE, PELLAM_PARAMETERS_KEY, key.out()), 0u);
  const char text[] = "600000";
  ASSERT_EQ(platform::RegSetValueEx(key.get(), "NetReceiveTimeout", platform::REG_SZ,
                                    reinterpret_cast<const uint8_t*>(text), sizeof text),
            0u);
  const SetupRun run = s_.Install(kFreshInstall);
  ExpectFailed(run, "message stop Setup Error: Failed to update Pellam registry parameters");
  EXPECT_EQ(ImagePath(), ProgramDir() + "pellam");
  EXPECT_FALSE(fs::exists(MailDir() + "queue")) << "the directories follow a written profile";
  EXPECT_EQ(run.transcript.find("note 5200"), std::string::npos);
}

TEST_F(Install, PathsTooLongForTheServiceOrTheProfileOverflow) {
  s_.MakeSource(TestService::kRunsUntilStopped);
  struct Row {
    const char* what;
    std::size_t program_length, mail_length;
    const char* message;  // "" for a complete install
  };
  const Row rows[] = {
      {"program directory of 253", 253, 40, "message stop Setup Error: Buffer Overflow"},
      {"mail directory of 253", 100, 253, "message stop Setup Error: Buffer Overflow"},
      // 252 fits setup's own limit, but the queue path then exceeds what the profile stores.
      {"mail directory of 252", 100, 252, "message stop Setup Error: Failed to update Pellam registry parameters"},
      {"program directory of 252", 252, 40, ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    const std::string programs = PathOfLength(s_.box().Path("p"), r.program_length);
    const std::string mail = PathOfLength(s_.box().Path("m"), r.mail_length);
    s_.Track(programs + "/pellam");
    const SetupRun run = s_.Install("100 CONTINUE\n500 CONTINUE " + programs + "\n600 CONTINUE\n300 CONTINUE " +
                                    mail + "\n600 CONTINUE\n");
    if (r.message[0] == '\0') {
      EXPECT_EQ(run.exit_code, 0) << run.transcript;
      EXPECT_EQ(ImagePath(), programs + "/pellam");
    } else {
      ExpectFailed(run, r.message);
    }
    pellam::test::KillTestService(programs + "/pellam");
    // Each row starts without a service and without a profile.
    platform::UniqueKey services;
    platform::RegOpenKeyEx(platform::HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services", platform::KEY_ALL_ACCESS,
                           services.out());
    platform::RegDeleteKey(services.get(), "Pellam");
    fs::remove_all(s_.box().Path("run"));
    fs::remove_all(s_.box().Path("p"));
    fs::remove_all(s_.box().Path("m"));
  }
}

TEST_F(Install, ToolkitValuesThatDoNotFitOverflow) {
  s_.MakeSource(TestService::kRunsUntilStopped);
  const std::string typed(255, 'x');
  const SetupRun run = s_.Install("100 CONTINUE\n500 CONTINUE /" + typed + "\n");
  ExpectFailed(run, "message stop MS-Setup Error: Buffer Overflow");

  // A sandbox root too long for the system directory.
  const std::string root = "/" + std::string(300, 'r');
  ::setenv("PELLAM_ROOT", root.c_str(), 1);
  const SetupRun long_root = s_.Install("100 CONTINUE\n");
  ::setenv("PELLAM_ROOT", s_.box().root().c_str(), 1);
  ExpectFailed(long_root, "message stop MS-Setup Error: Buffer Overflow");
  EXPECT_EQ(long_root.transcript.find("dialog 100"), std::string::npos) << long_root.transcript;
}

TEST_F(Install, ARelativeRootWithoutACurrentDirectoryLeavesNoSystemDrive) {
  s_.MakeSource(TestService::kRunsUntilStopped);
  char saved[4096];
  ASSERT_NE(::getcwd(saved, sizeof saved), nullptr);
  const std::string gone = s_.box().Path("gone");
  fs::create_directories(gone);
  ASSERT_EQ(::chdir(gone.c_str()), 0);
  fs::remove(gone);
  ::setenv("PELLAM_ROOT", "relative-root", 1);
  const SetupRun run = s_.Install("100 CONTINUE\n");
  ::setenv("PELLAM_ROOT", s_.box().root().c_str(), 1);
  ASSERT_EQ(::chdir(saved), 0);
  ExpectFailed(run, "message stop Setup Error: Can't determine system drive");
  EXPECT_EQ(run.transcript.find("dialog 100"), std::string::npos) << run.transcript;
}

TEST_F(Install, TheDirectoryDialogAsksAgainUntilItHasAValidDirectory) {
  s_.MakeSource(TestService::kRunsUntilStopped);
  const std::string proposed = Quoted(s_.DefaultProgramDir());
  const SetupRun run = s_.Install(
      "100 CONTINUE\n"
      "500 CONTINUE \"\"\n"             // empty: 6400, then the proposal again
      "500 CONTINUE relative/dir\n"     // not absolute: 6400
      "500 CONTINUE /opt/../etc\n"      // not unambiguous: 6400
      "500 CONTINUE " + s_.box().Path("elsewhere") + "\n"
      "600 BACK\n"                      // not created: the proposal again
      "500 EXIT\n200 CONTINUE\n"        // not quitting: the dialog again
      "500 CONTINUE\n600 CONTINUE\n300 CONTINUE\n600 CONTINUE\n");
  EXPECT_EQ(run.exit_code, 0) << run.transcript;
  EXPECT_TRUE(HasInOrder(run.transcript,
                         {"dialog 500 " + proposed + " CONTINUE \"\"", "dialog 6400 CONTINUE",
                          "dialog 500 " + proposed + " CONTINUE \"relative/dir\"", "dialog 6400 CONTINUE",
                          "dialog 500 " + proposed + " CONTINUE \"/opt/../etc\"", "dialog 6400 CONTINUE",
                          "dialog 500 " + proposed + " CONTINUE " + Quoted(s_.box().Path("elsewhere")),
                          "dialog 600 BACK", "dialog 500 " + proposed + " EXIT " + proposed, "dialog 200 CONTINUE",
                          "dialog 500 " + proposed + " CONTINUE " + proposed, "dialog 600 CONTINUE"}))
      << run.transcript;
  EXPECT_FALSE(fs::exists(s_.box().Path("elsewhere"))) << "Back creates nothing";
  EXPECT_TRUE(fs::is_directory(s_.DefaultProgramDir()));
}

TEST_F(Install, QuittingEndsWithNothingInstalled) {
  s_.MakeSource(TestService::kRunsUntilStopped);
  struct Row {
    const char* what;
    const char* answers;
  };
  const Row rows[] = {
      {"at the welcome", "100 EXIT\n200 CONTINUE\n100 CANCEL\n200 EXIT\n"},
      {"at the program directory", "100 CONTINUE\n500 CANCEL\n200 EXIT\n"},
      {"at the mail directory", "100 CONTINUE\n500 CONTINUE\n600 CONTINUE\n300 EXIT\n200 EXIT\n"},
  };
  for (const Row& r : rows) {
    const SetupRun run = s_.Install(r.answers);
    EXPECT_EQ(run.exit_code, 2) << r.what << "\n" << run.transcript;
    EXPECT_EQ(run.transcript.find("dialog 400"), std::string::npos) << r.what;
    EXPECT_EQ(run.transcript.find("copy"), std::string::npos) << r.what;
    EXPECT_EQ(ImagePath(), "") << r.what;
  }
  EXPECT_TRUE(HasInOrder(s_.Install(rows[0].answers).transcript,
                         {"dialog 100 EXIT", "dialog 200 CONTINUE", "dialog 100 CANCEL", "dialog 200 EXIT"}));
}

TEST_F(Install, ACopyThatFailsOrIsQuitEndsBeforeTheService) {
  struct Row {
    const char* what;
    std::vector<std::string> listed;
    const char* extra_answer;
    std::string message;
  };
  const Row rows[] = {
      {"quit at the gauge", {"pellam", "pellpost"}, "copy QUIT 1\n", "copy quit after 1 files"},
      {"a listed file missing", {"pellam", "pelldesk"}, "", ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    fs::remove_all(s_.source());
    s_.MakeSource(TestService::kRunsUntilStopped, r.listed);
    if (r.listed[1] == "pelldesk") fs::remove(s_.source() + "pelldesk");
    const std::string message =
        r.message.empty() ? "message stop Setup Error: Setup cannot copy " + s_.source() + "pelldesk to " +
                                ProgramDir() + "pelldesk. The system cannot find the file specified."
                          : r.message;
    const SetupRun run = s_.Install(std::string(r.extra_answer) + kFreshInstall);
    ExpectFailed(run, message);
    EXPECT_EQ(run.transcript.find("note 5000"), std::string::npos);
    EXPECT_EQ(ImagePath(), "");
    fs::remove_all(s_.box().Path("opt"));
    fs::remove_all(s_.box().Path("var/spool"));
  }
}

TEST_F(Install, AScriptThatIsMissingOrAnswersThatDoNotFitFail) {
  s_.MakeSource(TestService::kRunsUntilStopped);
  ExpectFailed(s_.Install("100 CONTINUE\n300 CONTINUE\n"),
               "error dialog 500 is shown, but the answer of line 2 is for dialog 300");
  ExpectFailed(s_.Install("100 CONTINUE\n"), "error no answer is left for dialog 500");
  fs::remove(s_.source() + "setup.inf");
  ExpectFailed(s_.Install(kFreshInstall), "message stop Setup Error: Setup cannot read its script " + s_.source() +
                                              "setup.inf. The system cannot find the file specified.");
}

TEST_F(Install, FailuresOfTheSystemEndInTheFailureExit) {
  s_.MakeSource(TestService::kRunsUntilStopped);
  fs::create_directories(s_.DefaultProgramDir());
  fs::create_directories(s_.DefaultMailDir());
  struct Row {
    const char* what;
    fault::Op op;
    unsigned nth;
    std::string message;
  };
  const Row rows[] = {
      {"queue directory", fault::Op::CreateDir, 1,
       "message stop Setup Error: Setup cannot create the directory " + MailDir() + "queue/. Access is denied."},
      {"temporary directory", fault::Op::CreateDir, 2,
       "message stop Setup Error: Setup cannot create the directory " + MailDir() + "temp/. Access is denied."},
      {"applications menu", fault::Op::CreateDir, 3,
       "message stop Setup Error: Setup cannot create the directory " + setup::ApplicationsDirectory() +
           ". Access is denied."},
      {"copy", fault::Op::Copy, 2,
       "message stop Setup Error: Setup cannot copy " + s_.source() + "pelldesk to " + ProgramDir() +
           "pelldesk. Access is denied."},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    fault::Clear();
    fault::FailNth(r.op, r.nth, ERROR_ACCESS_DENIED);
    const SetupRun run = s_.Install("100 CONTINUE\n500 CONTINUE\n300 CONTINUE\n");
    fault::Clear();
    ExpectFailed(run, r.message);
    pellam::test::KillTestService(ProgramDir() + "pellam");
    platform::UniqueKey services;
    platform::RegOpenKeyEx(platform::HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services", platform::KEY_ALL_ACCESS,
                           services.out());
    platform::RegDeleteKey(services.get(), "Pellam");
    fs::remove_all(MailDir() + "queue");
    fs::remove_all(MailDir() + "temp");
  }
}

}  // namespace
