// The main frame: its 17 tool-bar entries, its seven panes, the menus and accelerators
// of the command table with the commands of windows not yet there disabled, placement
// and bar state across runs, and a picture of the window for a person to look at.
#include <QMenuBar>
#include <QMenu>
#include <QStatusBar>
#include <QToolBar>

#include <filesystem>

#include "app/resource_ids.h"
#include "client_test_support.h"
#include "framework/commands.h"
#include "framework/doc_template.h"
#include "framework/document.h"
#include "framework/profile.h"
#include "mainframe/main_frame.h"

namespace pelldesk::test {
namespace {

namespace fs = std::filesystem;

const fw::Profile& Store() {
  static const fw::Profile profile("Corwent", "Pelldesk");
  return profile;
}

TEST(MainFrame, ToolBarHoldsTheSeventeenEntriesWithPictures) {
  ClientSandbox sandbox;
  MessageBoxRecorder boxes;
  TestApp app;
  ASSERT_TRUE(app.InitInstance());
  CMainFrame* frame = app.mainFrameWindow();
  const QList<QAction*> actions = frame->toolBar()->actions();
  const std::vector<int>& wanted = ToolBarButtons();
  ASSERT_EQ(actions.size(), 17);
  ASSERT_EQ(wanted.size(), 17u);
  for (int i = 0; i < 17; ++i) {
    const int id = wanted[static_cast<std::size_t>(i)];
    if (id == 0) {
      EXPECT_TRUE(actions[i]->isSeparator()) << "entry " << i;
      continue;
    }
    EXPECT_EQ(actions[i], frame->Action(id)) << "entry " << i;
    EXPECT_FALSE(actions[i]->icon().isNull()) << "entry " << i;
  }
  EXPECT_EQ(frame->Action(kCmdNewMessage)->toolTip().toStdString(), "New");
  EXPECT_EQ(frame->Action(kCmdNewMessage)->statusTip().toStdString(),
            "Create and send new mail message");
  EXPECT_EQ(frame->windowTitle().toStdString(), "Pellam");
}

TEST(MainFrame, SevenPanesSizedByTheirStrings) {
  ClientSandbox sandbox;
  MessageBoxRecorder boxes;
  TestApp app;
  ASSERT_TRUE(app.InitInstance());
  CMainFrame* frame = app.mainFrameWindow();
  const QList<QLabel*> labels = frame->statusBar()->findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
  ASSERT_EQ(labels.size(), 7);
  EXPECT_EQ(labels[0]->text().toStdString(), "Ready");
  const QFontMetrics metrics(labels[1]->font());
  EXPECT_GE(labels[1]->width(), metrics.horizontalAdvance(" 9999 new messages waiting "));
  EXPECT_LT(labels[4]->width(), labels[1]->width());
  for (int id : {kPaneNewMail, kPaneMode, kPaneModified}) {
    EXPECT_EQ(frame->PaneText(id), "") << "pane " << id << " is blank until something fills it";
  }
}

TEST(MainFrame, MenusAndAcceleratorsWithUnhandledCommandsDisabled) {
  ClientSandbox sandbox;
  MessageBoxRecorder boxes;
  TestApp app;
  ASSERT_TRUE(app.InitInstance());
  CMainFrame* frame = app.mainFrameWindow();
  // Start-up opens the tree window, whose menu the frame shows while it is active.
  EXPECT_EQ(frame->shownMenu(), kTreeTemplateId);
  for (fw::Document* doc : app.treeTemplate()->documents()) doc->OnCloseDocument();
  ProcessEvents();
  EXPECT_EQ(frame->shownMenu(), kMainFrameId);
  std::vector<std::string> titles;
  for (QAction* a : frame->menuBar()->actions()) titles.push_back(a->text().toStdString());
  EXPECT_EQ(titles, (std::vector<std::string>{"&File", "&Message", "&View", "&Tools", "&Help"}));

  struct Row {
    int id;
    const char* keys;  // "" for none
    bool enabled;
  } rows[] = {
      {kCmdNewMessage, "Ctrl+N", true},   // the message window kind opens compositions
      {kCmdReply, "Ctrl+R", false},       {kCmdForward, "Ctrl+F", false},
      {kCmdPost, "F12", false},           {kCmdCancel, "Shift+F12", false},
      {kCmdDelete, "Alt+Del", false},     {kCmdMove, "F7", false},
      {kCmdCopy, "F8", false},            {kCmdClose, "F4", false},
      {kCmdRefresh, "F5", false},         {kCmdPurgeDeleted, "", false},
      {fw::kEditRepeat, "F3", false},     {fw::kNextPane, "F6", false},
      {fw::kPreviousPane, "Shift+F6", false},
      {fw::kFileSave, "Ctrl+S", false},   {fw::kFilePrint, "Ctrl+P", false},
      {fw::kEditUndo, "Ctrl+Z", false},   {fw::kEditCut, "Ctrl+X", false},
      {fw::kEditCopy, "Ctrl+C", false},   {fw::kEditPaste, "Ctrl+V", false},
      {fw::kFileOpen, "Ctrl+O", true},    // message files open through their window kind
      {kCmdFont, "", true},               {kCmdSettings, "", true},
      {fw::kAppAbout, "", true},          {fw::kAppExit, "", true},
      {fw::kFilePrintSetup, "", true},    {fw::kToolBarId, "", true},
      {fw::kStatusBarId, "", true},       {fw::kWindowCascade, "", false},
  };
  frame->UpdateCommandUi();
  for (const Row& row : rows) {
    QAction* action = frame->Action(row.id);
    ASSERT_NE(action, nullptr) << row.id;
    QStringList keys;
    for (const QKeySequence& k : action->shortcuts()) keys << k.toString();
    EXPECT_EQ(keys.join(", ").toStdString(), row.keys) << row.id;
    EXPECT_EQ(action->isEnabled(), row.enabled) << row.id;
  }
  EXPECT_TRUE(frame->Action(fw::kToolBarId)->isChecked());
  EXPECT_EQ(frame->Action(fw::kAppAbout)->text().toStdString(), "&About Pellam...");
}

TEST(MainFrame, PlacementAndBarStateCarryOverToTheNextRun) {
  ClientSandbox sandbox;
  MessageBoxRecorder boxes;
  {
    TestApp app;
    ASSERT_TRUE(app.InitInstance());
    app.mainFrame()->setGeometry(50, 60, 700, 500);
    app.mainFrameWindow()->toolBar()->hide();
    app.mainFrame()->statusBar()->hide();
    app.End();
  }
  EXPECT_EQ(Store().GetString("Settings", "Window"), "50,60,750,560,1");
  EXPECT_EQ(Store().GetInt("MainWnd-Bar59392", "Visible", -1), 0);
  EXPECT_EQ(Store().GetInt("MainWnd-Bar59393", "Visible", -1), 0);
  {
    TestApp app;
    ASSERT_TRUE(app.InitInstance());
    EXPECT_EQ(app.mainFrame()->geometry(), QRect(50, 60, 700, 500));
    EXPECT_FALSE(app.mainFrameWindow()->toolBar()->isVisibleTo(app.mainFrame()));
    EXPECT_FALSE(app.mainFrame()->statusBar()->isVisibleTo(app.mainFrame()));
    EXPECT_FALSE(app.mainFrame()->router().State(fw::kToolBarId).checked);
    EXPECT_FALSE(app.mainFrame()->isMaximized());
  }
  // Four numbers: the rectangle is applied, the show state comes from the start.
  ASSERT_EQ(Store().WriteString("Settings", "Window", "20,30,420,330"), 0u);
  {
    TestApp app;
    ASSERT_TRUE(app.InitInstance());
    EXPECT_EQ(app.mainFrame()->geometry(), QRect(20, 30, 400, 300));
    EXPECT_TRUE(app.mainFrame()->isVisible());
  }
}

TEST(MainFrame, AFailedStartUpStillKeepsThePlacement) {
  pellam::test::Sandbox sandbox;  // no account: the profile cannot be fetched
  MessageBoxRecorder boxes(fw::IDCANCEL);
  TestApp app;
  EXPECT_FALSE(app.InitInstance());
  EXPECT_TRUE(app.mainFrameWindow()->barStateLoaded());
}

TEST(MainFrame, Screenshot) {
  ClientSandbox sandbox;
  WriteMessage(sandbox.NewFolder() + "msg0001.mai", 1000);
  WriteMessage(sandbox.NewFolder() + "msg0002.mai", 1100);
  WriteMessage(sandbox.NewFolder() + "msg0003.mai", 1200);
  MessageBoxRecorder boxes;
  TestApp app;
  ASSERT_TRUE(app.InitInstance());
  CMainFrame* frame = app.mainFrameWindow();
  ASSERT_TRUE(WaitUntil([&] { return frame->shownCount() == 3; }));
  frame->UpdateCommandUi();
  ProcessEvents();
  SaveScreenshot(frame->grab().toImage(), "pelldesk-main.png", sandbox.Path("pictures"));
}

}  // namespace
}  // namespace pelldesk::test
