// CMailApp, the client's application object: start-up and the end of the run, the
// user-interface settings and their storage, the display font, the standard folders,
// the error reports every window uses, the new-mail sound and the state the new-mail
// monitor shares with the main frame. One object per process (CMailApp::Get()). The
// windows reach it only through the interfaces of app/client_services.h.
#pragma once

#include <QFont>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/client_services.h"
#include "app/folder_emptiness.h"
#include "app/font_value.h"
#include "app/mail_paths.h"
#include "app/new_mail_sound.h"
#include "framework/application.h"
#include "monitor/monitor_thread.h"
#include "monitor/new_mail_monitor.h"

namespace fw {
class DocTemplate;
class Document;
}

namespace pelldesk {

class CMainFrame;

enum class AppState { None = 0, Starting = 1, Running = 2, Degraded = 3 };
enum class FontState { Default = 0, Stored = 1, Changed = 2 };

// The settings the Preferences page shows and changes.
struct Preferences {
  bool folderCreation = false;
  bool folderDeletion = false;
  bool queryExit = false;
  bool columnHeaders = true;
  int beep = kSoundBeep;
  std::string beepFile;

  bool operator==(const Preferences&) const = default;
};

class CMailApp : public fw::Application,
                 public ErrorReporter,
                 public UserMailbox,
                 public FolderOperations,
                 public OpenWindows,
                 public FolderChooser,
                 public WindowSettings {
 public:
  CMailApp();
  ~CMailApp() override;

  // The application object of this process.
  static CMailApp& Get();

  bool InitInstance() override;
  int ExitInstance() override;
  bool CanCloseMainFrame() override;

  // Shows an error message: `format` with at most one "%s" filled from `text`, then
  // the text of `status` (0 for none), in a box of `style` (0 for the default).
  // Returns the button chosen. Before start-up has ended the box offers OK and Cancel
  // and the application becomes Degraded. Callable from any thread.
  int ReportError(const char* format, const char* text, uint32_t status, unsigned style) override;

  // This object's interfaces, as every window it makes is given them.
  const ClientServices& services() const { return services_; }

  void LoadSettings();
  void SaveSettings(bool force);

  void PlayNewMailSound(int mode, const std::string& file);
  void PlayNewMailSound();

  // The count and newer flag of the monitor's last report (read while handling it).
  void GetNewMailState(int* count, bool* newer) const;

  bool IsFolderEmpty(const std::string& path) const;
  // The answer the enable rules share (app/folder_emptiness.h).
  FolderEmptiness& folderEmptiness() { return folderEmptiness_; }
  std::string MainFolderPath() const override { return mailDirectory_ + mainFolderName_ + "/"; }
  std::string NewFolderPath() const override { return mailDirectory_ + newFolderName_ + "/"; }
  std::string DeletedFolderPath() const override { return mailDirectory_ + deletedFolderName_ + "/"; }

  const std::string& userName() const override { return userName_; }
  const std::string& fullName() const override { return fullName_; }
  const std::string& mailDirectory() const override { return mailDirectory_; }
  const std::string& mainFolderName() const { return mainFolderName_; }
  const std::string& newFolderName() const { return newFolderName_; }
  const std::string& deletedFolderName() const { return deletedFolderName_; }
  bool folderCreation() const { return preferences_.folderCreation; }
  bool folderDeletion() const override { return preferences_.folderDeletion; }
  bool queryExit() const { return preferences_.queryExit; }
  bool columnHeaders() const override { return preferences_.columnHeaders; }
  int beep() const { return preferences_.beep; }
  const std::string& beepFile() const { return preferences_.beepFile; }
  const QFont* displayFont() const override { return displayFont_ ? &*displayFont_ : nullptr; }
  bool exiting() const override { return exiting_; }
  AppState state() const { return state_; }
  FontState fontState() const { return fontState_; }
  const LogFont& logFont() const { return logFont_; }
  bool settingsDirty() const { return settingsDirty_; }

  // The Preferences page's apply step: marks the settings changed when they differ.
  const Preferences& preferences() const { return preferences_; }
  void SetPreferences(const Preferences& preferences);

  fw::DocTemplate* messageTemplate() const { return messageTemplate_; }
  fw::DocTemplate* folderTemplate() const { return folderTemplate_; }
  fw::DocTemplate* treeTemplate() const { return treeTemplate_; }
  CMainFrame* mainFrameWindow() const;

  // Font choice (command 32786): the font dialog, then ApplyChosenFont.
  void ChooseFont();
  // Makes `description` the display font and tells every window; false (after the
  // message) when no font can be made from it.
  bool ApplyChosenFont(const LogFont& description);

  // Settings sheet (command 32787).
  void ShowSettingsSheet();

  // The folder operations: every window changes the mailbox through these, and they
  // tell every open window concerned (app/mailbox_listeners.h). Paths are full paths;
  // a folder or tree document's path has no final "/". With `askToContinue` an error
  // box offers OK and Cancel and its button is the result, so that a caller working
  // through many messages stops on Cancel (2); 0 is success.
  bool OpenMessageWindow(const char* path) override;  // null: an empty composition
  bool OpenFolderWindow(const std::string& path) override;
  bool OpenTreeWindow(const std::string& path);
  fw::Document* FindOpenDocument(const std::string& path) const;
  bool IsDocumentOpen(const std::string& path) const override { return FindOpenDocument(path) != nullptr; }
  // The path of every open document, as FindOpenDocument compares them.
  std::vector<std::string> OpenDocumentPaths() const override;
  bool ActivateDocumentWindow(fw::Document* document, bool refresh);
  int DeleteMessage(const std::string& path, bool askToContinue) override;
  // `folderName` is relative to the mail directory ("work/projects"); empty: "main".
  int MoveMessage(const std::string& path, const std::string& folderName, bool allowCreate,
                  bool askToContinue) override;
  int DeleteFolder(const std::string& path, bool askToContinue) override;
  void PurgeDeleted();
  void NotifyMessageMoved(const std::string& oldPath, const std::string& newPath, bool toDeleted);
  void NotifyMessageClosed(const std::string& path) override;
  void NotifyFolderRemoved(const std::string& oldPath, const std::string& newPath, bool toDeleted);
  void NotifyFolderClosed(const std::string& path) override;
  // The "Destination folder" dialog, offering the open tree's folders and starting
  // from the last folder confirmed this run.
  bool ChooseDestination(FolderChoice* choice) override;
  // The last folder name confirmed in the "Destination folder" dialog this run.
  std::string& lastDestination() { return lastDestination_; }

  // For tests: where sounds go, how long the monitor waits before looking for a
  // missing "new" folder again, and how long the end of the run waits for it.
  void SetSoundSink(std::unique_ptr<SoundSink> sink);
  void SetMonitorRetryDelay(unsigned ms) { monitorShared_->retryDelayMs = ms; }
  void SetMonitorStopTimeout(unsigned ms) { monitorStopTimeoutMs_ = ms; }
  bool monitorRunning() const { return monitorThread_.IsRunning(); }
  uint32_t monitorExitCode() const { return monitorExitCode_; }

 protected:
  // Starts NewMailMonitor on its own thread: 0 or the status code.
  virtual uint32_t StartMonitorThread();
  void OnAppExit() override;

 private:
  int ReportErrorOnUiThread(const char* format, const char* text, uint32_t status, unsigned style);
  bool ConfirmExit();
  void RegisterTemplates();
  void SendNewMailToMainFrame();

  bool settingsDirty_ = false;
  Preferences preferences_;
  fw::DocTemplate* messageTemplate_ = nullptr;
  fw::DocTemplate* folderTemplate_ = nullptr;
  fw::DocTemplate* treeTemplate_ = nullptr;
  std::string userName_;
  std::string fullName_;
  std::string mailDirectory_;
  std::string mainFolderName_;
  std::string newFolderName_;
  std::string deletedFolderName_;
  AppState state_ = AppState::None;
  bool exiting_ = false;
  MonitorThread monitorThread_;
  std::shared_ptr<MonitorShared> monitorShared_;
  uint32_t monitorExitCode_ = 0;
  unsigned monitorStopTimeoutMs_ = 60000;
  std::optional<QFont> displayFont_;
  LogFont logFont_;
  FontState fontState_ = FontState::Default;
  std::unique_ptr<SoundSink> soundSink_;
  std::string lastDestination_;
  ClientServices services_;
  FolderEmptiness folderEmptiness_{[](const std::string& path) { return pelldesk::IsFolderEmpty(path); }};
};

}  // namespace pelldesk
