// Pictures of the client as a person first sees it: the whole screen with the main
// frame, the tree, a folder of twelve messages and a message at their default sizes, and
// the folder after a message arrived while it was open. Each checks what it shows and
// that the saved file holds exactly that picture. They go into a temporary directory,
// or into PELLAM_SCREENSHOT_DIR for a person to look at (run under Xvfb with
// PELLAM_TEST_PLATFORM=xcb for pictures with a window manager's frames).
#include <QGuiApplication>
#include <QMdiArea>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QScreen>
#include <QThread>

#include <filesystem>

#include "folder_test_support.h"
#include "mainframe/main_frame.h"
#include "message/msg_doc.h"

namespace pelldesk::test {
namespace {

class Screenshots : public FolderTest {
 protected:
  void SetUp() override {
    FolderTest::SetUp();
    for (int n = 1; n <= 12; ++n) {
      char name[32];
      std::snprintf(name, sizeof name, "main/msg%04d.mai", n);
      Write(name, MessageText("NODEA::SMITH (John Smith)", "Minutes of the building committee, part " + std::to_string(n)));
    }
  }
  // Lets the window system catch up (and the start-up's splash go), then the whole
  // screen.
  QImage Screen() {
    WaitUntil([] { return QApplication::activePopupWidget() == nullptr && !SplashShown(); }, 5000);
    for (int i = 0; i < 20; ++i) {
      ProcessEvents();
      QThread::msleep(25);
    }
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage();
  }
  // The whole screen, saved: the file must hold it as grabbed, and a quarter of it at
  // least must be drawn.
  void Save(const QImage& picture, const std::string& name) {
    EXPECT_EQ(picture.size(), QGuiApplication::primaryScreen()->geometry().size()) << "the whole screen";
    ScreenshotDirectory(sandbox_.Path("pictures")).Save(picture, name, picture.width() * picture.height() / 4);
  }
  // The folder window (its default size kept) moved right of the tree, whose lines
  // it would cover.
  void PlaceBesideTheTree(CDirDoc* folder) {
    fw::ChildFrame* tree = app_.treeTemplate()->documents().front()->views().front()->frame();
    FrameOf(folder)->move(tree->geometry().right() + 8, 0);
  }
  static bool SplashShown() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
      if (window->isVisible() && window->inherits("pelldesk::CSplashWnd")) return true;
    }
    return false;
  }
  static QRect OnScreen(QWidget* widget) { return QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size()); }
};

TEST_F(Screenshots, TheFrameWithTheTreeAFolderAndAMessageAtTheirDefaultSizes) {
  // Qt's off-screen screen is 800 pixels wide, narrower than the default sizes are made for.
  if (QGuiApplication::primaryScreen()->geometry().width() < 1024) {
    GTEST_SKIP() << "the default sizes want a screen 1024 pixels wide (PELLAM_TEST_PLATFORM=xcb under Xvfb)";
  }
  CMainFrame* frame = app_.mainFrameWindow();
  CDirDoc* folder = Open("main");
  ASSERT_NE(folder, nullptr);
  ASSERT_TRUE(app_.OpenMessageWindow(Mail("main/msg0001.mai").c_str()));
  auto* message = dynamic_cast<CMsgDoc*>(app_.FindOpenDocument(Mail("main/msg0001.mai")));
  ASSERT_NE(message, nullptr);
  // The cascade would lay the message over the folder: at its default size, it goes to
  // the lower right corner, so that the picture shows all three windows.
  PlaceBesideTheTree(folder);
  fw::ChildFrame* messageFrame = message->views().front()->frame();
  const QSize area = frame->mdiArea()->contentsRect().size();
  messageFrame->move(area.width() - messageFrame->width(), area.height() - messageFrame->height());
  const QImage picture = Screen();
  Save(picture, "pelldesk-frame.png");

  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_TRUE(screen.contains(frame->frameGeometry())) << "the frame fits the screen";
  for (fw::ChildFrame* child : frame->Children()) {
    EXPECT_TRUE(frame->mdiArea()->rect().contains(child->geometry())) << child->windowTitle().toStdString();
  }
  CDirView* list = ViewOf(folder);
  EXPECT_GE(list->viewport()->width(), list->layout().row.width()) << "every column of the list in view";
  auto* editor = dynamic_cast<QPlainTextEdit*>(message->views().front()->widget());
  ASSERT_NE(editor, nullptr);
  EXPECT_GE(editor->viewport()->width(), QFontMetrics(editor->font()).horizontalAdvance(QString(80, 'n')));
  // The message's text and the list's lines are on the screen, not only in the widgets.
  EXPECT_GT(DrawnPixels(picture, OnScreen(editor->viewport())), 200);
  EXPECT_GT(DrawnPixels(picture, OnScreen(list->viewport())), 200);
}

TEST_F(Screenshots, AFolderWindowThatGainedAMessageWhileOpen) {
  CDirDoc* folder = Open("main");
  ASSERT_NE(folder, nullptr);
  PlaceBesideTheTree(folder);
  CDirView* list = ViewOf(folder);
  list->Select(3);
  const std::string staged = sandbox_.Path("staged.tmp");
  pellam::test::WriteTextFile(staged, MessageText("NODEB::JONES (Mary Jones)", "Arrived while the window was open"));
  std::filesystem::rename(staged, Mail("main/msg0013.mai"));
  ASSERT_TRUE(WaitUntil([&] { return folder->count() == 13; }));

  EXPECT_EQ(list->selection(), 3) << "the selection stayed";
  const int h = list->layout().rowHeight;
  // The window was shrunk to its twelve lines: the thirteenth brings the scroll bar,
  // and scrolling down (as the user would) shows it.
  ProcessEvents();  // the scroll bars come, and with them the viewport's new size
  QScrollBar* bar = list->verticalScrollBar();
  EXPECT_GT(bar->maximum(), 0);
  bar->setValue(bar->maximum());
  const QImage picture = Screen();
  Save(picture, "pelldesk-folder-arrival.png");
  const QRect line(list->viewport()->mapToGlobal(QPoint(0, 12 * h - bar->value())), QSize(list->viewport()->width(), h));
  ASSERT_LE(line.bottom(), OnScreen(list->viewport()).bottom()) << "the new line is in view";
  EXPECT_GT(DrawnPixels(picture, line), 50) << "the new line is painted";
  // The selected line is drawn in the highlight colour at its left end.
  const QPoint selected = list->viewport()->mapToGlobal(QPoint(2, 3 * h - bar->value() + h / 2));
  EXPECT_EQ(picture.pixelColor(selected).rgb(), list->palette().color(QPalette::Active, QPalette::Highlight).rgb())
      << "the selection on the screen";
}

}  // namespace
}  // namespace pelldesk::test
