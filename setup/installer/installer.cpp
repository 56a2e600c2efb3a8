// The main sequence, the directory dialog, the quit confirmation and the failure exit.
// Both exits unwind to RunInstaller by an Ending, so each step reads straight on, as
// the sequence is written, with nothing to do after a failure but leave.
#include "installer.h"

#include <unistd.h>

#include <cstring>
#include <string>

#include "dialog_event.h"
#include "directories.h"
#include "messages.h"
#include "pellam.h"
#include "platform/paths.h"
#include "platform/sandbox.h"
#include "platform/services.h"
#include "proposals.h"
#include "service_steps.h"

namespace setup {
namespace {

constexpr int kHelp = 900;
constexpr std::size_t kMaxSymbol = 255;
constexpr unsigned kSharedDirectoryMode = 01777;  // every user posts; none removes another's files

struct Ending {
  int code;
};

class Installation : public InstallerSteps {
 public:
  Installation(Toolkit& toolkit, const InstallerSettings& settings) : toolkit_(toolkit), settings_(settings) {}
  ~Installation() override {
    if (scm_ != nullptr) platform::CloseServiceHandle(scm_);
  }

  int Run();

  // InstallerSteps, for the service steps.
  void Dialog(int id, DialogProc proc, int help = 0) override;
  void CloseNotes() override;
  void Warn(const char* message) override {
    toolkit_.MessageBox(message, text::kErrorCaption, MessageIcon::kExclamation);
  }
  [[noreturn]] void Fatal(const char* message, const char* caption) override { Stop(message, caption); }
  [[noreturn]] void FailureExit() override { Leave(); }
  void Pause() override { ::usleep(settings_.poll_interval_ms * 1000u); }
  Toolkit& toolkit() override { return toolkit_; }

 private:
  [[noreturn]] void Stop(const char* message, const char* caption = text::kErrorCaption);
  [[noreturn]] void Leave();
  DialogEvent Event();
  std::string Symbol(const char* name, std::size_t max_length = kMaxSymbol);
  [[noreturn]] void Quit();
  void ConfirmQuit();
  void FindRoot();
  void Welcome();
  void ProposeDirectories();
  std::string AskDirectory(int id, const std::string& proposed);
  void CopyFiles();
  void WriteParametersAndItems();

  Toolkit& toolkit_;
  InstallerSettings settings_;
  std::string current_dir_;
  std::string system_root_;
  std::string source_dir_;
  std::string program_dir_;
  std::string mail_root_dir_;
  platform::SC_HANDLE scm_ = nullptr;
  bool quitting_ = false;
};

std::string CurrentDirectory() {
  char path[platform::kMaxPath];
  if (::getcwd(path, sizeof path) == nullptr) return {};
  return WithTrailingSeparator(path);
}

void Installation::Dialog(int id, DialogProc proc, int help) {
  if (!toolkit_.DoDialog(id, proc, help)) Leave();
}

void Installation::CloseNotes() {
  if (!toolkit_.KillDialogs()) Leave();
}

void Installation::Stop(const char* message, const char* caption) {
  toolkit_.MessageBox(message, caption, MessageIcon::kStop);
  Leave();
}

void Installation::Leave() {
  if (!quitting_) {
    quitting_ = true;
    toolkit_.KillDialogs();
    // A dialog that cannot be shown ends the wait: there is nothing left to fail to.
    while (toolkit_.DoDialog(400, DialogProc::kInfo0)) {
      std::string event;
      toolkit_.GetSymbol("DLGEVENT", &event, kMaxSymbol);
      const DialogEvent e = ParseDialogEvent(event);
      if (e == DialogEvent::kCancel || e == DialogEvent::kContinue) break;
    }
    toolkit_.KillDialogs();
  }
  throw Ending{kInstallFailed};
}

void Installation::Quit() {
  toolkit_.KillDialogs();
  throw Ending{kUserQuit};
}

std::string Installation::Symbol(const char* name, std::size_t max_length) {
  std::string value;
  if (!toolkit_.GetSymbol(name, &value, max_length)) Stop(text::kBufferOverflow, text::kToolkitErrorCaption);
  return value;
}

DialogEvent Installation::Event() { return ParseDialogEvent(Symbol("DLGEVENT")); }

void Installation::ConfirmQuit() {
  for (;;) {
    Dialog(200, DialogProc::kQuit, kHelp);
    const DialogEvent event = Event();
    if (event == DialogEvent::kExit) Quit();
    if (event == DialogEvent::kCancel || event == DialogEvent::kContinue) return;
  }
}

void Installation::FindRoot() {
  const RootFound found = FindSystemRoot(platform::SandboxRoot(), current_dir_, &system_root_);
  if (found == RootFound::kTooLong) Stop(text::kBufferOverflow, text::kToolkitErrorCaption);
  if (found == RootFound::kUndetermined) Stop(text::kCantDetermineSystemDrive);
}

void Installation::Welcome() {
  for (;;) {
    Dialog(100, DialogProc::kInfo, kHelp);
    const DialogEvent event = Event();
    if (event == DialogEvent::kContinue) return;
    if (event == DialogEvent::kCancel || event == DialogEvent::kExit) ConfirmQuit();
  }
}

void Installation::ProposeDirectories() {
  if (scm_ != nullptr) {
    ServiceHandle service(platform::OpenService(scm_, PELLAM_SERVICE_NAME, platform::SERVICE_QUERY_CONFIG));
    alignas(platform::ServiceConfig) unsigned char buffer[552];
    auto* config = reinterpret_cast<platform::ServiceConfig*>(buffer);
    uint32_t needed = 0;
    if (service && platform::QueryServiceConfig(service.get(), config, sizeof buffer, &needed)) {
      program_dir_ = ProgramDirectoryOf(config->binary_path_name);
    }
  }
  MailSystemProfile profile{};
  if (GetMailSystemProfile(&profile, sizeof profile) == 0) {
    mail_root_dir_ = SharedMailDirectory(profile.MailQueuePath, profile.MailTempPath);
  }
  if (program_dir_.empty()) program_dir_ = system_root_ + "opt/pellam/";
  if (mail_root_dir_.empty()) mail_root_dir_ = system_root_ + "var/spool/pellam/";
}

std::string Installation::AskDirectory(int id, const std::string& proposed) {
  for (;;) {
    toolkit_.SetSymbol("EditTextIn", WithoutTrailingSeparator(proposed));
    toolkit_.SetSymbol("EditFocus", "END");
    Dialog(id, DialogProc::kEdit, kHelp);
    const DialogEvent event = Event();
    if (event == DialogEvent::kExit || event == DialogEvent::kCancel) {
      ConfirmQuit();
      continue;
    }
    const std::string typed = Symbol("EditTextOut", kMaxDirectoryName);
    if (!ValidDirectoryName(typed)) {
      Dialog(6400, DialogProc::kInfo0);
      continue;
    }
    if (!DirectoryExists(typed)) {
      Dialog(600, DialogProc::kInfo);
      if (Event() != DialogEvent::kContinue) continue;
      if (!toolkit_.CreateDir(typed, 0755)) Leave();
    }
    return WithTrailingSeparator(typed);
  }
}

void Installation::CopyFiles() {
  toolkit_.ResetCopyList();
  if (!toolkit_.AddSectionFilesToCopyList("Files", source_dir_, program_dir_) ||
      !toolkit_.AddSectionFilesToCopyList("System", source_dir_, program_dir_)) {
    Leave();
  }
  toolkit_.SetGaugePosition(155, 130);
  int result = kCopyDone;
  {
    Toolkit::WaitCursor wait(toolkit_);
    result = toolkit_.CopyFilesInCopyList();
  }
  if (result > 0) Leave();  // the user quit (48), or a file could not be copied
}

void Installation::WriteParametersAndItems() {
  if (mail_root_dir_.size() > 253) Stop(text::kBufferOverflow);
  MailSystemProfile profile{};
  std::strcpy(profile.MailQueuePath, (mail_root_dir_ + "queue/").c_str());
  std::strcpy(profile.MailTempPath, (mail_root_dir_ + "temp/").c_str());
  if (UpdateMailSystemProfile(&profile, sizeof profile) != 0) Stop(text::kFailedToUpdate);
  if (!toolkit_.CreateDir(mail_root_dir_ + "queue/", kSharedDirectoryMode) ||
      !toolkit_.CreateDir(mail_root_dir_ + "temp/", kSharedDirectoryMode)) {
    Leave();
  }
  // Other fields of the record are empty, so the stored error file and gateway stay.
  if (!toolkit_.ShowMenuGroup("Accessories") ||
      !toolkit_.CreateMenuItem("Accessories", "Pellam", program_dir_ + "pelldesk", "Read, write and file your mail") ||
      !toolkit_.CreateMenuItem("Accessories", "Pellam ReadMe", program_dir_ + "pellreadme.txt",
                               "How to install and use Pellam")) {
    Leave();
  }
}

int Installation::Run() {
  try {
    current_dir_ = CurrentDirectory();
    if (!toolkit_.SetBackground(1) || !toolkit_.SetTitle(text::kFrameTitle)) Leave();
    std::string inf_dir = Symbol("STF_SRCINFPATH");
    if (inf_dir.empty()) inf_dir = Symbol("STF_SRCDIR");
    const std::string inf_path = inf_dir + "setup.inf";
    if (inf_path.size() >= platform::kMaxPath) Stop(text::kBufferOverflow, text::kToolkitErrorCaption);
    if (!toolkit_.OpenInf(inf_path)) Leave();
    FindRoot();
    Welcome();
    source_dir_ = Symbol("STF_SRCDIR");
    scm_ = platform::OpenSCManager(platform::SC_MANAGER_ALL_ACCESS);
    ProposeDirectories();
    program_dir_ = AskDirectory(500, program_dir_);
    mail_root_dir_ = AskDirectory(300, mail_root_dir_);
    RemoveEarlierService(*this, scm_);
    CopyFiles();
    Dialog(5000, DialogProc::kModeless);
    {
      Toolkit::WaitCursor wait(toolkit_);
      RegisterService(*this, scm_, program_dir_);
      WriteParametersAndItems();
    }
    CloseNotes();
    StartTheService(*this, scm_);
    do {
      Dialog(700, DialogProc::kInfo0);
    } while (Event() != DialogEvent::kContinue);
    return kInstalled;
  } catch (const Ending& ending) {
    return ending.code;
  }
}

}  // namespace

int RunInstaller(Toolkit& toolkit, const InstallerSettings& settings) {
  Installation installation(toolkit, settings);
  return installation.Run();
}

}  // namespace setup
