// The client's start-up and end of run in sandboxes: every row of the failure table,
// unreadable stored values, settings carried from one run to the next, the exit
// question, the splash and the About box.
#include <QApplication>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QToolBar>

#include <filesystem>
#include <thread>

#include "app/mail_app.h"
#include "app/resource_ids.h"
#include "app/settings_sheet.h"
#include "client_test_support.h"
#include "framework/commands.h"
#include "framework/doc_template.h"
#include "framework/gui_dispatcher.h"
#include "framework/mdi_frame.h"
#include "framework/property_sheet.h"
#include "mainframe/about_dlg.h"
#include "mainframe/main_frame.h"
#include "mainframe/splash_wnd.h"
#include "pellam.h"
#include "platform/errors.h"
#include "platform/fault.h"
#include "test_services.h"

namespace pelldesk::test {
namespace {

namespace fs = std::filesystem;

std::string StatusText(uint32_t status) {
  char buffer[512];
  std::string text = GetErrorText(status, buffer, sizeof buffer, nullptr);
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
  return text;
}

const fw::Profile& Store() {
  static const fw::Profile profile("Corwent", "Pelldesk");
  return profile;
}

// Registers the user (hive and profile) before a test breaks something.
void RegisterUser() {
  MailProfile profile{};
  ASSERT_EQ(GetMailProfile(&profile, sizeof profile), 0u);
}

TEST(StartUp, CreatesTheMailDirectoryAndRuns) {
  ClientSandbox sandbox;
  MessageBoxRecorder boxes;
  TestApp app;
  QElapsedTimer timer;
  timer.start();
  ASSERT_TRUE(app.InitInstance());
  const qint64 startup_ms = timer.elapsed();
  ASSERT_NE(app.mainFrame(), nullptr);
  EXPECT_TRUE(app.mainFrame()->isVisible());
  std::printf("[ measure  ] start-up to a shown main window: %lld ms\n",
              static_cast<long long>(startup_ms));

  EXPECT_EQ(boxes.count(), 0u);
  EXPECT_EQ(app.state(), AppState::Running);
  EXPECT_EQ(app.userName(), "ann");
  EXPECT_EQ(app.fullName(), "Ann Smith");
  EXPECT_EQ(app.mailDirectory(), sandbox.MailDirectory());
  EXPECT_TRUE(fs::is_directory(sandbox.MailDirectory()));
  EXPECT_EQ(app.MainFolderPath(), sandbox.MailDirectory() + "main/");
  EXPECT_EQ(app.NewFolderPath(), sandbox.MailDirectory() + "new/");
  EXPECT_EQ(app.DeletedFolderPath(), sandbox.MailDirectory() + "deleted/");
  EXPECT_TRUE(app.monitorRunning());
  EXPECT_FALSE(app.exiting());

  ASSERT_EQ(app.templates().size(), 3u);
  const int ids[] = {kMessageTemplateId, kFolderTemplateId, kTreeTemplateId};
  const char* names[] = {"Send", "Directory", "Tree"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(app.templates()[i]->id(), ids[i]);
    EXPECT_EQ(app.templates()[i]->menuId(), ids[i]);
    EXPECT_EQ(app.templates()[i]->GetDocString(fw::DocTemplate::DocString::DocName), names[i]);
  }

  // "new" does not exist yet: the monitor looks again until it does.
  auto* frame = app.mainFrameWindow();
  EXPECT_EQ(frame->shownCount(), -1);
  WriteMessage(app.NewFolderPath() + "msg0001.mai", 1000);
  EXPECT_TRUE(WaitUntil([&] { return frame->PaneText(kPaneNewMail) == " 1 new message waiting "; }));
  app.End();
  EXPECT_TRUE(app.exiting());
  EXPECT_FALSE(app.monitorRunning());
  EXPECT_EQ(app.monitorExitCode(), 0u);
}

TEST(StartUp, AProfileThatCannotBeFetched) {
  for (int answer : {fw::IDOK, fw::IDCANCEL}) {
    pellam::test::Sandbox sandbox;  // no account for the calling user
    MessageBoxRecorder boxes(answer);
    TestApp app;
    const bool started = app.InitInstance();
    EXPECT_EQ(started, answer == fw::IDOK) << "answer " << answer;
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text.rfind("Can't fetch your Pellam user profile.\r\n\r\n", 0), 0u)
        << boxes.boxes()[0].text;
    EXPECT_EQ(boxes.boxes()[0].style, fw::MB_OKCANCEL | fw::MB_ICONSTOP);
    ASSERT_NE(app.mainFrame(), nullptr);
    EXPECT_TRUE(app.mainFrame()->isVisible()) << "the main window shows behind the message";
    if (started) {
      // Degraded during start-up, running afterwards, without mail directory or monitor.
      EXPECT_EQ(app.state(), AppState::Running);
      EXPECT_EQ(app.mailDirectory(), "");
      EXPECT_EQ(app.deletedFolderName(), "deleted");
      EXPECT_FALSE(app.monitorRunning());
    }
  }
}

TEST(StartUp, AMailDirectoryThatCannotBeCreated) {
  for (int answer : {fw::IDOK, fw::IDCANCEL}) {
    ClientSandbox sandbox;
    RegisterUser();
    MessageBoxRecorder boxes(answer);
    platform::fault::Scope faults;
    platform::fault::FailNth(platform::fault::Op::CreateDir, 1, ERROR_ACCESS_DENIED, true);
    TestApp app;
    const bool started = app.InitInstance();
    platform::fault::Clear();
    EXPECT_EQ(started, answer == fw::IDOK);
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, "Mail directory " + sandbox.MailDirectory() +
                                         " cannot be opened.\r\n\r\n" + StatusText(ERROR_ACCESS_DENIED));
    EXPECT_EQ(boxes.boxes()[0].style, fw::MB_OKCANCEL | fw::MB_ICONSTOP);
    if (started) {
      EXPECT_FALSE(app.monitorRunning()) << "degraded: no monitor";
    }
  }
}

TEST(StartUp, AMailDirectoryThatCannotBeDisplayed) {
  for (int answer : {fw::IDOK, fw::IDCANCEL}) {
    ClientSandbox sandbox;
    // The root as the mail directory: it exists, but a tree has no name to show it by.
    MailProfile profile{};
    ASSERT_EQ(GetMailProfile(&profile, sizeof profile), 0u);
    std::snprintf(profile.MailDirectory, sizeof profile.MailDirectory, "/");
    ASSERT_EQ(UpdateMailProfile(&profile, sizeof profile), 0u);
    MessageBoxRecorder boxes(answer);
    TestApp app;
    const bool started = app.InitInstance();
    EXPECT_EQ(started, answer == fw::IDOK);
    ASSERT_GE(boxes.count(), 1u);
    EXPECT_EQ(boxes.boxes().back().text, std::string("Mail directory / cannot be displayed."));
    EXPECT_EQ(boxes.boxes().back().style & fw::MB_TYPEMASK, fw::MB_OKCANCEL) << "start-up has not ended";
    if (started) {
      EXPECT_EQ(app.state(), AppState::Running);
      EXPECT_FALSE(app.monitorRunning()) << "degraded: no monitor";
      EXPECT_TRUE(app.treeTemplate()->documents().empty());
    }
  }
}

TEST(StartUp, AnExistingMailDirectoryIsNoError) {
  ClientSandbox sandbox;
  fs::create_directories(sandbox.MailDirectory());
  MessageBoxRecorder boxes;
  TestApp app;
  ASSERT_TRUE(app.InitInstance());
  EXPECT_EQ(boxes.count(), 0u);
}

TEST(StartUp, AMonitorThatCannotStart) {
  for (int answer : {fw::IDOK, fw::IDCANCEL}) {
    ClientSandbox sandbox;
    MessageBoxRecorder boxes(answer);
    TestApp app;
    app.failMonitorStartWith = ERROR_NOT_ENOUGH_MEMORY;
    const bool started = app.InitInstance();
    EXPECT_EQ(started, answer == fw::IDOK);
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text,
              "Can't start new mail monitor.\r\n\r\n" + StatusText(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(boxes.boxes()[0].style, fw::MB_OKCANCEL | fw::MB_ICONSTOP);
    if (started) {
      EXPECT_EQ(app.state(), AppState::Running);
      EXPECT_FALSE(app.monitorRunning());
    }
  }
}

TEST(StartUp, AStoredFontThatCannotBeCreatedLeavesTheViewsTheirOwn) {
  ClientSandbox sandbox;
  RegisterUser();
  const std::string value = "-100000,0,0,0,400,0,0,0,0,3,2,1,49,Courier New";
  ASSERT_EQ(Store().WriteString("Settings", "Font", value), 0u);
  MessageBoxRecorder boxes;
  {
    TestApp app;
    ASSERT_TRUE(app.InitInstance());
    EXPECT_EQ(boxes.count(), 0u) << "no message";
    EXPECT_EQ(app.displayFont(), nullptr);
    EXPECT_EQ(app.fontState(), FontState::Stored);
    EXPECT_EQ(app.logFont().height, -100000);
    EXPECT_STREQ(app.logFont().faceName, "Courier New");
  }
  EXPECT_EQ(Store().GetString("Settings", "Font"), value) << "not written back";
}

TEST(StartUp, NoStoredFontMeansTheDefaultFixedFontAndNothingWritten) {
  ClientSandbox sandbox;
  MessageBoxRecorder boxes;
  {
    TestApp app;
    ASSERT_TRUE(app.InitInstance());
    EXPECT_EQ(app.fontState(), FontState::Default);
    EXPECT_EQ(app.logFont().pitchAndFamily, 0x31);
    ASSERT_NE(app.displayFont(), nullptr);
    EXPECT_TRUE(QFontInfo(*app.displayFont()).fixedPitch());
  }
  EXPECT_EQ(Store().GetString("Settings", "Font", "absent"), "absent");
  EXPECT_EQ(Store().GetInt("Settings", "Beep", -7), -7) << "unchanged settings are not written";
}

TEST(StartUp, AChosenFontThatCannotBeCreatedKeepsTheActiveFont) {
  ClientSandbox sandbox;
  MessageBoxRecorder boxes;
  TestApp app;
  ASSERT_TRUE(app.InitInstance());
  const QFont before = *app.displayFont();
  LogFont impossible = app.logFont();
  impossible.height = 5000;
  EXPECT_FALSE(app.ApplyChosenFont(impossible));
  ASSERT_EQ(boxes.count(), 1u);
  EXPECT_EQ(boxes.boxes()[0].text, "Failed to create new font; active font unchanged.");
  EXPECT_EQ(boxes.boxes()[0].style, fw::MB_ICONEXCLAMATION);
  EXPECT_EQ(*app.displayFont(), before);
  EXPECT_EQ(app.fontState(), FontState::Default);
}

TEST(ReportError, UnformattableMessagesAndTheOkCancelRuleBeforeStartUpEnds) {
  ClientSandbox sandbox;
  MessageBoxRecorder boxes(fw::IDCANCEL);
  TestApp app;
  // Before start-up ends a report offers OK and Cancel and leaves the client degraded.
  EXPECT_EQ(app.ReportError("Search for %s failed.", "x", 0, 0), fw::IDCANCEL);
  EXPECT_EQ(app.state(), AppState::Degraded);
  EXPECT_EQ(boxes.boxes().back().style, fw::MB_OKCANCEL | fw::MB_ICONSTOP);

  ASSERT_TRUE(app.InitInstance());
  EXPECT_EQ(app.state(), AppState::Running);
  struct Row {
    const char* format;
    std::string text;
    unsigned style;
    std::string shown;
    unsigned shown_style;
  } rows[] = {
      {"Directory %s could not be removed.", "/m/x", 0, "Directory /m/x could not be removed.",
       fw::MB_ICONEXCLAMATION},
      {"Do you really want to exit from %s?", "Pelldesk", fw::MB_YESNO | fw::MB_ICONQUESTION,
       "Do you really want to exit from Pelldesk?", fw::MB_YESNO | fw::MB_ICONQUESTION},
      {"%d messages", "", 0, "Error when reporting error.", fw::MB_ICONSTOP},
      {"File %s cannot be read.", std::string(600, 'f'), fw::MB_OKCANCEL,
       "Error when reporting error.", fw::MB_ICONSTOP},
  };
  for (const Row& row : rows) {
    app.ReportError(row.format, row.text.c_str(), 0, row.style);
    EXPECT_EQ(boxes.boxes().back().text, row.shown) << row.format;
    EXPECT_EQ(boxes.boxes().back().style, row.shown_style) << row.format;
  }
  EXPECT_EQ(app.state(), AppState::Running) << "reports of a running client leave it running";
}

TEST(ReportError, FromAnotherThreadTheBoxIsShownByTheUserInterface) {
  ClientSandbox sandbox;
  MessageBoxRecorder boxes;
  TestApp app;
  ASSERT_TRUE(app.InitInstance());
  int answer = 0;
  std::thread worker([&] {
    answer = app.ReportErrorNoArg("New mail notification isn't working.", ERROR_ACCESS_DENIED, 0);
  });
  EXPECT_TRUE(WaitUntil([&] { return answer != 0; }));
  worker.join();
  EXPECT_EQ(answer, fw::IDOK);
  EXPECT_EQ(boxes.boxes().back().text,
            "New mail notification isn't working.\r\n\r\n" + StatusText(ERROR_ACCESS_DENIED));
  EXPECT_EQ(boxes.boxes().back().style, fw::MB_ICONEXCLAMATION) << "running: an OK button only";
}

TEST(EndOfRun, AReportThatNobodyHandlesDoesNotHoldItUp) {
  ClientSandbox sandbox;
  WriteMessage(sandbox.NewFolder() + "msg0001.mai", 1000);
  MessageBoxRecorder boxes;
  TestApp app;
  ASSERT_TRUE(app.InitInstance());
  // No events are processed: the monitor's first New Mail command stays waiting for the
  // user-interface thread while the run ends.
  ASSERT_TRUE(pellam::test::WaitFor([] { return fw::GuiDispatcher::Instance().Waiting() > 0; }, 10000))
      << "the monitor never asked the user-interface thread";
  QElapsedTimer timer;
  timer.start();
  app.End();
  EXPECT_LT(timer.elapsed(), 2000);
  EXPECT_FALSE(app.monitorRunning());
  EXPECT_EQ(app.monitorExitCode(), 0u) << "stopped, not cancelled";
}

TEST(StartUp, UnreadableStoredValuesAreNoObstacle) {
  ClientSandbox sandbox;
  RegisterUser();
  ASSERT_EQ(Store().WriteString("Settings", "Font", ",,garbage,,"), 0u);
  ASSERT_EQ(Store().WriteString("Settings", "Window", "left,top"), 0u);
  ASSERT_EQ(Store().WriteString("Settings", "Beep", "loud"), 0u);
  ASSERT_EQ(Store().WriteInt("Settings", "BeepFile", 12), 0u);
  ASSERT_EQ(Store().WriteString("MainWnd-Bar59392", "Visible", "maybe"), 0u);
  MessageBoxRecorder boxes;
  TestApp app;
  ASSERT_TRUE(app.InitInstance());
  EXPECT_EQ(boxes.count(), 0u);
  EXPECT_EQ(app.beep(), kSoundBeep) << "a value of the wrong kind reads as the default";
  EXPECT_EQ(app.beepFile(), "");
  EXPECT_EQ(app.fontState(), FontState::Stored);
  EXPECT_NE(app.displayFont(), nullptr);
  EXPECT_GT(app.mainFrame()->width(), 100) << "no zero-sized window from a broken placement";
  EXPECT_TRUE(app.mainFrameWindow()->toolBar()->isVisibleTo(app.mainFrame()));
}

TEST(Settings, WrittenByOneRunAreReadByTheNext) {
  ClientSandbox sandbox;
  MessageBoxRecorder boxes;
  Preferences chosen;
  chosen.folderCreation = true;
  chosen.folderDeletion = true;
  chosen.queryExit = false;
  chosen.columnHeaders = false;
  chosen.beep = kSoundFile;
  chosen.beepFile = "/usr/share/sounds/ding.wav";
  LogFont font;
  font.height = -15;
  font.weight = 700;
  font.outPrecision = 3;
  font.clipPrecision = 2;
  font.quality = 1;
  font.pitchAndFamily = 0x31;
  std::strcpy(font.faceName, "DejaVu Sans Mono");
  {
    TestApp app;
    ASSERT_TRUE(app.InitInstance());
    app.SetPreferences(chosen);
    EXPECT_TRUE(app.settingsDirty());
    ASSERT_TRUE(app.ApplyChosenFont(font));
    EXPECT_EQ(app.fontState(), FontState::Changed);
    app.mainFrame()->setGeometry(30, 40, 640, 480);
    app.End();
    EXPECT_EQ(app.fontState(), FontState::Stored);
    EXPECT_FALSE(app.settingsDirty());
  }
  EXPECT_EQ(Store().GetString("Settings", "Font"), "-15,0,0,0,700,0,0,0,0,3,2,1,49,DejaVu Sans Mono");
  EXPECT_EQ(Store().GetString("Settings", "Window"), "30,40,670,520,1");
  EXPECT_EQ(Store().GetInt("Settings", "Beep", -1), 2);
  EXPECT_EQ(Store().GetInt("Settings", "ColumnHeaders", -1), 0);
  {
    TestApp app;
    ASSERT_TRUE(app.InitInstance());
    EXPECT_EQ(app.preferences(), chosen);
    EXPECT_EQ(app.fontState(), FontState::Stored);
    EXPECT_EQ(app.logFont(), font);
    EXPECT_EQ(app.mainFrame()->geometry(), QRect(30, 40, 640, 480));
    EXPECT_EQ(boxes.count(), 0u);
  }
}

TEST(Settings, AFailedWriteIsTriedAgainAtTheNextSave) {
  ClientSandbox sandbox;
  MessageBoxRecorder boxes;
  TestApp app;
  ASSERT_TRUE(app.InitInstance());
  Preferences p = app.preferences();
  p.queryExit = true;
  app.SetPreferences(p);
  platform::fault::Scope faults;
  platform::fault::FailNth(platform::fault::Op::RegWrite, 1, ERROR_ACCESS_DENIED, true);
  app.SaveSettings(false);
  platform::fault::Clear();
  EXPECT_TRUE(app.settingsDirty());
  app.SaveSettings(false);
  EXPECT_FALSE(app.settingsDirty());
  EXPECT_EQ(Store().GetInt("Settings", "QueryExit", -1), 1);
}

TEST(Exit, TheQuestionDecides) {
  ClientSandbox sandbox;
  MessageBoxRecorder boxes(fw::IDNO);
  TestApp app;
  ASSERT_TRUE(app.InitInstance());
  Preferences p = app.preferences();
  p.queryExit = true;
  app.SetPreferences(p);

  app.mainFrame()->router().Execute(fw::kAppExit);
  ASSERT_EQ(boxes.count(), 1u);
  EXPECT_EQ(boxes.boxes()[0].text, "Do you really want to exit from Pelldesk?");
  EXPECT_EQ(boxes.boxes()[0].style, fw::MB_YESNO | fw::MB_ICONQUESTION);
  EXPECT_NE(app.mainFrame(), nullptr) << "No: the client keeps running";
  EXPECT_FALSE(app.exiting());

  app.mainFrame()->close();  // the close box asks the same question
  EXPECT_EQ(boxes.count(), 2u);
  EXPECT_NE(app.mainFrame(), nullptr);

  boxes.QueueAnswer(fw::IDYES);
  app.mainFrame()->router().Execute(fw::kAppExit);
  EXPECT_TRUE(app.exiting());
  EXPECT_EQ(app.mainFrame(), nullptr) << "Yes: the main window is gone";
  app.End();
  EXPECT_EQ(Store().GetInt("Settings", "QueryExit", -1), 1) << "saved at the end of the run";
}

// A settings page standing in for the real ones: it reports a change and changes its
// record the way a real page would.
class FakePage : public CSettingsPage {
 public:
  FakePage(Applies applies, bool changes, std::function<void()> change = {})
      : CSettingsPage("Fake", applies), changes_(changes), change_(std::move(change)) {}
  bool ApplyChanges() override {
    ++applied;
    if (changes_ && change_) change_();
    return changes_;
  }
  int applied = 0;

 private:
  bool changes_;
  std::function<void()> change_;
};

TEST(SettingsSheet, ChangesAreWrittenKindByKindAndFailuresReported) {
  ClientSandbox sandbox;
  MessageBoxRecorder boxes;
  TestApp app;
  ASSERT_TRUE(app.InitInstance());
  MailProfile user{};
  ASSERT_EQ(GetMailProfile(&user, sizeof user), 0u);
  MailSystemProfile system{};
  GetMailSystemProfile(&system, sizeof system);

  // Unchanged pages write nothing; every page's apply step runs all the same.
  FakePage pref(CSettingsPage::Applies::Preferences, false);
  FakePage usr(CSettingsPage::Applies::UserProfile, false);
  FakePage reply(CSettingsPage::Applies::UserProfile, false);
  FakePage alias(CSettingsPage::Applies::Immediately, true);
  ApplySettingsPages(app, {&pref, &usr, &reply, &alias}, user, system);
  EXPECT_EQ(pref.applied + usr.applied + reply.applied, 3);
  EXPECT_EQ(alias.applied, 0);
  EXPECT_EQ(Store().GetInt("Settings", "Beep", -1), -1);

  // A changed preference saves the settings (forced); both profile pages run even
  // when the first reports a change; a failed profile write is reported.
  FakePage pref2(CSettingsPage::Applies::Preferences, true, [&] {
    Preferences p = app.preferences();
    p.beep = kSoundNone;
    app.SetPreferences(p);
  });
  platform::fault::Scope faults;
  // The store refuses writes from the first profile page on, after the settings.
  FakePage usr2(CSettingsPage::Applies::UserProfile, true, [] {
    platform::fault::FailNth(platform::fault::Op::RegWrite, 1, ERROR_ACCESS_DENIED, true);
  });
  FakePage reply2(CSettingsPage::Applies::UserProfile, false);
  FakePage sys2(CSettingsPage::Applies::SystemProfile, true);
  ApplySettingsPages(app, {&pref2, &usr2, &reply2, &sys2}, user, system);
  platform::fault::Clear();
  EXPECT_EQ(reply2.applied, 1);
  EXPECT_EQ(Store().GetInt("Settings", "Beep", -1), 0);
  ASSERT_EQ(boxes.count(), 2u);
  EXPECT_EQ(boxes.boxes()[0].text,
            "Can't update your Pellam user profile.\r\n\r\n" + StatusText(ERROR_ACCESS_DENIED));
  EXPECT_EQ(boxes.boxes()[1].text,
            "Can't update your Pellam system profile.\r\n\r\n" + StatusText(ERROR_ACCESS_DENIED));
}

TEST(SettingsSheet, TheCommandShowsTheSheetCaptionedSettings) {
  ClientSandbox sandbox;
  MessageBoxRecorder boxes;
  TestApp app;
  ASSERT_TRUE(app.InitInstance());
  std::string caption;
  QTimer::singleShot(0, [&] {
    fw::PropertySheet* sheet = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* s = dynamic_cast<fw::PropertySheet*>(w); s != nullptr && s->isVisible()) sheet = s;
    }
    if (sheet == nullptr) return;
    caption = sheet->windowTitle().toStdString();
    sheet->buttons()->button(QDialogButtonBox::Ok)->click();
  });
  EXPECT_TRUE(app.mainFrame()->router().Execute(kCmdSettings));
  EXPECT_EQ(caption, "Settings");
  EXPECT_EQ(boxes.count(), 0u);
}

TEST(StartUp, TheSplashShowsBesideTheUsableMainWindowAndGoesAfterFiveSeconds) {
  ClientSandbox sandbox;
  MessageBoxRecorder boxes;
  TestApp app;
  ASSERT_TRUE(app.InitInstance());
  auto splashes = [&] { return app.mainFrame()->findChildren<CSplashWnd*>(); };
  ASSERT_EQ(splashes().size(), 1);
  CSplashWnd* splash = splashes().front();
  EXPECT_TRUE(splash->isVisible());
  EXPECT_EQ(splash->size(), QSize(420, 240)) << "sized to its picture";
  EXPECT_TRUE(app.mainFrame()->isVisible());
  EXPECT_TRUE(app.mainFrame()->router().State(fw::kAppAbout).enabled);
  EXPECT_FALSE(WaitUntil([&] { return splashes().empty(); }, 4000)) << "still there after 4 s";
  EXPECT_TRUE(WaitUntil([&] {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return splashes().empty();
  }, 3000));
}

TEST(AboutBox, ShowsTheFileVersion) {
  CAboutDlg about(nullptr);
  EXPECT_EQ(about.windowTitle().toStdString(), "About Pellam");
  EXPECT_EQ(about.versionField()->text().toStdString(), "X0.99");
  EXPECT_EQ(about.versionField()->objectName().toStdString(), "1001");
}

}  // namespace
}  // namespace pelldesk::test
