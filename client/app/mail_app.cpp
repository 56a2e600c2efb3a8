// CMailApp: start-up, the end of the run, error reports, exit and the application's
// commands.
#include "app/mail_app.h"

#include <cstring>

#include "app/client_resources.h"
#include "app/display_font.h"
#include "app/document_kinds.h"
#include "app/error_report.h"
#include "app/mail_paths.h"
#include "app/qt_sound_sink.h"
#include "app/resource_ids.h"
#include "framework/commands.h"
#include "framework/doc_template.h"
#include "framework/gui_dispatcher.h"
#include "framework/message_box.h"
#include "mainframe/about_dlg.h"
#include "mainframe/main_frame.h"
#include "mainframe/splash_wnd.h"
#include "pellam.h"
#include "platform/errors.h"
#include "platform/files.h"

namespace pelldesk {
namespace {

std::string FieldText(const char* field, std::size_t size) {
  return std::string(field, strnlen(field, size));
}

}  // namespace

CMailApp::CMailApp()
    : fw::Application(kAppName, kRegistryKey), monitorShared_(std::make_shared<MonitorShared>()),
      soundSink_(std::make_unique<QtSoundSink>()) {
  services_ = {this, this, this, this, this, this, &folderEmptiness_};
  InitClientResources();
  OnCommand(fw::kAppAbout, [this] {
    CAboutDlg about(mainWindow());
    about.exec();
  });
  OnCommand(
      kCmdNewMessage, [this] { messageTemplate_->OpenDocumentFile(nullptr); },
      [this](fw::CommandState& state) {
        state.enabled = messageTemplate_ != nullptr && messageTemplate_->HasDocumentKind();
      });
  OnCommand(
      kCmdPurgeDeleted, [this] { PurgeDeleted(); },
      [this](fw::CommandState& state) { state.enabled = !folderEmptiness_.IsEmpty(DeletedFolderPath()); });
  OnCommand(kCmdFont, [this] { ChooseFont(); });
  OnCommand(kCmdSettings, [this] { ShowSettingsSheet(); });
}

CMailApp::~CMailApp() {
  // A run that never reached its end step still stops its monitor.
  if (monitorThread_.IsRunning()) {
    fw::GuiDispatcher::Instance().Close();
    monitorShared_->stopEvent.Set();
    monitorThread_.Join(monitorStopTimeoutMs_);
  }
}

CMailApp& CMailApp::Get() { return *static_cast<CMailApp*>(fw::Application::Instance()); }

CMainFrame* CMailApp::mainFrameWindow() const { return static_cast<CMainFrame*>(mainFrame()); }

void CMailApp::SetSoundSink(std::unique_ptr<SoundSink> sink) { soundSink_ = std::move(sink); }

bool CMailApp::InitInstance() {
  monitorShared_->newMailCount = -1;
  state_ = AppState::Starting;

  // The frame first, so that any message of start-up has a main window to stand on.
  auto* frame = new CMainFrame(*this);
  if (!frame->Create()) {
    frame->Destroy();
    delete frame;
    return false;
  }
  SetMainFrame(frame);

  CSplashWnd::ShowSplash(frame, 5000);

  LoadSettings();

  MailProfile profile{};
  if (uint32_t status = GetMailProfile(&profile, sizeof profile)) {
    if (ReportErrorNoArg("Can't fetch your Pellam user profile.", status, 0) != fw::IDOK) {
      return false;
    }
  }
  userName_ = FieldText(profile.AccountName, sizeof profile.AccountName);
  fullName_ = FieldText(profile.FullName, sizeof profile.FullName);
  mailDirectory_ = FieldText(profile.MailDirectory, sizeof profile.MailDirectory);

  if (state_ != AppState::Degraded && !platform::CreateDirectory(mailDirectory_.c_str())) {
    uint32_t error = platform::GetLastError();
    if (error != ERROR_ALREADY_EXISTS &&
        ReportError("Mail directory %s cannot be opened.", mailDirectory_.c_str(), error, 0) !=
            fw::IDOK) {
      return false;
    }
  }

  mainFolderName_ = "main";
  newFolderName_ = "new";
  deletedFolderName_ = "deleted";

  RegisterTemplates();

  displayFont_ = CreateDisplayFont(logFont_);  // none: the views use their own font

  if (state_ != AppState::Degraded && !OpenTreeWindow(mailDirectory_) &&
      ReportError("Mail directory %s cannot be displayed.", mailDirectory_.c_str(), 0, 0) != fw::IDOK) {
    return false;
  }

  ShowMainWindow(showCommand());

  if (state_ != AppState::Degraded) {
    if (uint32_t error = StartMonitorThread()) {
      if (ReportErrorNoArg("Can't start new mail monitor.", error, 0) != fw::IDOK) return false;
    }
  }

  state_ = AppState::Running;
  return true;
}

void CMailApp::RegisterTemplates() {
  messageTemplate_ = AddDocTemplate(std::make_unique<fw::DocTemplate>(
      kMessageTemplateId, kMessageTemplateId, kMessageTemplateId,
      "\nSend\nSend\nMail Messages (*.mai)\n.mai\nPellam.Msg\nPellam Message File",
      DocumentKindOf(kMessageTemplateId, services_)));
  folderTemplate_ = AddDocTemplate(std::make_unique<fw::DocTemplate>(
      kFolderTemplateId, kFolderTemplateId, kFolderTemplateId,
      "\nDirectory\nDirectory\nMail Directories\n.\nPellam.Dir\nPellam Mail Directory",
      DocumentKindOf(kFolderTemplateId, services_)));
  treeTemplate_ = AddDocTemplate(std::make_unique<fw::DocTemplate>(
      kTreeTemplateId, kTreeTemplateId, kTreeTemplateId,
      "\nTree\nTree\nMail Directory Trees\n.\nPellam.Tree\nPellam Mail Tree",
      DocumentKindOf(kTreeTemplateId, services_)));
}

uint32_t CMailApp::StartMonitorThread() {
  MonitorShared& shared = *monitorShared_;
  if (uint32_t code = shared.stopEvent.Create()) return code;
  shared.newFolderPath = NewFolderPath();
  // Both run on the monitor thread and reach this object only through the dispatcher,
  // which refuses once the run is ending: an abandoned monitor never touches it.
  shared.sendNewMail = [this] {
    fw::GuiDispatcher::Instance().Call([this] {
      if (fw::MdiFrame* frame = mainFrame()) {
        frame->router().Execute(kCmdNewMail);
        frame->UpdateCommandUi();
      }
    });
  };
  shared.reportError = [this](const char* format, uint32_t status) {
    int answer = 0;
    fw::GuiDispatcher::Instance().Call(
        [&] { answer = ReportErrorOnUiThread(format, "<unknown>", status, 0); });
    return answer;
  };
  std::shared_ptr<MonitorShared> keep = monitorShared_;
  return monitorThread_.Start([keep] { return NewMailMonitor(*keep); });
}

int CMailApp::ExitInstance() {
  exiting_ = true;
  // From here a monitor report to the (gone) main window returns at once.
  fw::GuiDispatcher::Instance().Close();
  bool signalled = false;
  if (monitorThread_.IsRunning()) signalled = monitorShared_->stopEvent.Set();

  SaveSettings(false);

  // Start-up that got as far as naming the folders empties "deleted" at the end.
  if (!deletedFolderName_.empty()) PurgeDeleted();

  displayFont_.reset();

  if (monitorThread_.IsRunning()) {
    monitorExitCode_ = monitorThread_.Join(signalled ? monitorStopTimeoutMs_ : 0);
  }
  monitorShared_->stopEvent.Close();
  return fw::Application::ExitInstance();
}

int CMailApp::ReportError(const char* format, const char* text, uint32_t status, unsigned style) {
  int answer = 0;
  // The user-interface thread owns the windows and the state; another thread's report
  // is made there while the caller waits.
  fw::GuiDispatcher::Instance().Call(
      [&] { answer = ReportErrorOnUiThread(format, text, status, style); });
  return answer;
}

int CMailApp::ReportErrorOnUiThread(const char* format, const char* text, uint32_t status,
                                    unsigned style) {
  if (state_ != AppState::Running) {
    if (mainFrame() != nullptr && !mainFrame()->isVisible()) ShowMainWindow(showCommand());
    if (style == 0) style = fw::MB_OKCANCEL | fw::MB_ICONSTOP;
    state_ = AppState::Degraded;
  }
  std::optional<std::string> report = FormatErrorReport(format, text, status);
  if (!report) return fw::ShowMessageBox("Error when reporting error.", fw::MB_ICONSTOP);
  if (style == 0) style = fw::MB_ICONEXCLAMATION;
  return fw::ShowMessageBox(*report, style);
}

bool CMailApp::ConfirmExit() {
  if (exiting_) return true;
  if (preferences_.queryExit &&
      ReportError("Do you really want to exit from %s?", appName().c_str(), 0,
                  fw::MB_YESNO | fw::MB_ICONQUESTION) != fw::IDYES) {
    return false;
  }
  exiting_ = true;
  return true;
}

void CMailApp::OnAppExit() {
  if (ConfirmExit()) fw::Application::OnAppExit();
}

bool CMailApp::CanCloseMainFrame() {
  // The main window's close box takes the same road as the Exit command.
  if (!ConfirmExit()) return false;
  if (!SaveAllModified()) {
    exiting_ = false;  // a document kept the program running
    return false;
  }
  return true;
}

void CMailApp::GetNewMailState(int* count, bool* newer) const {
  *count = monitorShared_->newMailCount;
  *newer = monitorShared_->newerArrival;
}

bool CMailApp::IsFolderEmpty(const std::string& path) const { return pelldesk::IsFolderEmpty(path); }

void CMailApp::PlayNewMailSound(int mode, const std::string& file) {
  pelldesk::PlayNewMailSound(*soundSink_, mode, file);
}

void CMailApp::PlayNewMailSound() { PlayNewMailSound(preferences_.beep, preferences_.beepFile); }

}  // namespace pelldesk
