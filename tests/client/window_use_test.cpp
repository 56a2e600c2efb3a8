// Windows as a person meets them: the main frame starts on most of the screen, new
// child windows open large (the folder list and the tree then shrink to their
// contents, the message window keeps its room), and closing a window goes back to the
// one the user came from, maximised if it was.
#include <QMdiArea>
#include <QPlainTextEdit>

#include "folder_test_support.h"
#include "framework/child_placement.h"
#include "mainframe/main_frame.h"
#include "message/msg_doc.h"

namespace pelldesk::test {
namespace {

TEST(WindowSizes, TheFrameTakesMostOfTheScreenAndChildrenMostOfTheFrame) {
  const QRect screen(0, 0, 1280, 900);
  const QRect frame = FirstFrameGeometry(screen);
  EXPECT_TRUE(screen.contains(frame));
  EXPECT_GE(frame.width(), 1100);
  EXPECT_GE(frame.height(), 780);
  EXPECT_EQ(frame.center(), screen.center()) << "in the middle";
  EXPECT_TRUE(QRect(100, 50, 1280, 900).contains(FirstFrameGeometry(QRect(100, 50, 1280, 900))))
      << "on a screen that does not start at the origin";

  const QSize area(1000, 600);
  const QRect first = fw::DefaultChildGeometry(area, 0, 20);
  EXPECT_EQ(first, QRect(0, 0, 750, 450));
  EXPECT_EQ(fw::DefaultChildGeometry(area, 2, 20), QRect(40, 40, 750, 450)) << "one caption down per window";
  for (int open = 0; open < 40; ++open) {
    EXPECT_TRUE(QRect(QPoint(0, 0), area).contains(fw::DefaultChildGeometry(area, open, 20))) << open;
  }
  EXPECT_EQ(fw::DefaultChildGeometry(area, 8, 20).topLeft(), QPoint(0, 0)) << "the steps start again";
}

class WindowUse : public FolderTest {
 protected:
  void SetUp() override {
    FolderTest::SetUp();
    // The frame a 1280 x 900 screen gives, whatever the test platform's screen is.
    frame_ = app_.mainFrameWindow();
    frame_->setGeometry(FirstFrameGeometry(QRect(0, 0, 1280, 900)));
    ProcessEvents();
  }
  // Twelve messages in "main", with subjects of a usual length.
  void TwelveMessages() {
    for (int n = 1; n <= 12; ++n) {
      char name[32];
      std::snprintf(name, sizeof name, "main/msg%04d.mai", n);
      Write(name, MessageText("SMITH@NODEA", "Minutes of the meeting on the new building, part " + std::to_string(n)));
    }
  }
  CMsgDoc* OpenMessage(const std::string& rest) {
    if (!app_.OpenMessageWindow(Mail(rest).c_str())) return nullptr;
    return dynamic_cast<CMsgDoc*>(app_.FindOpenDocument(Mail(rest)));
  }
  static fw::ChildFrame* FrameOfDoc(fw::Document* doc) {
    return doc == nullptr || doc->views().empty() ? nullptr : doc->views().front()->frame();
  }

  CMainFrame* frame_ = nullptr;
};

TEST_F(WindowUse, AFolderOfTwelveShowsEveryColumnAndAMessageEightyCharacters) {
  TwelveMessages();
  CDirDoc* folder = Open("main");
  ASSERT_NE(folder, nullptr);
  ProcessEvents();
  CDirView* list = ViewOf(folder);
  EXPECT_GE(list->viewport()->width(), list->layout().row.width()) << "the Subject column without scrolling";
  EXPECT_GE(list->viewport()->height(), 12 * list->layout().rowHeight) << "all twelve lines";
  EXPECT_LE(FrameOf(folder)->width(), frame_->mdiArea()->width()) << "shrunk to the list, never beyond the area";

  CMsgDoc* message = OpenMessage("main/msg0001.mai");
  ASSERT_NE(message, nullptr);
  ProcessEvents();
  auto* editor = dynamic_cast<QPlainTextEdit*>(message->views().front()->widget());
  ASSERT_NE(editor, nullptr);
  const QFontMetrics metrics(editor->font());
  EXPECT_GE(editor->viewport()->width(), metrics.horizontalAdvance(QString(80, QLatin1Char('n'))))
      << "a line of 80 characters fits";
  EXPECT_GE(editor->viewport()->height(), 20 * metrics.lineSpacing());
  const QRect area = frame_->mdiArea()->rect();
  EXPECT_TRUE(area.contains(FrameOfDoc(message)->geometry())) << "inside the frame, nothing to maximise";
}

TEST_F(WindowUse, ClosingAWindowActivatesTheOneActiveBeforeIt) {
  TwelveMessages();
  CDirDoc* folder = Open("main");
  CMsgDoc* first = OpenMessage("main/msg0001.mai");
  CMsgDoc* second = OpenMessage("main/msg0002.mai");
  ASSERT_NE(folder, nullptr);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  fw::ChildFrame* folderFrame = FrameOf(folder);
  FrameOfDoc(second)->ActivateFrame();
  FrameOfDoc(first)->ActivateFrame();
  folderFrame->ActivateFrame();  // the user came to the folder from the first message
  ProcessEvents();
  FrameOfDoc(second)->ActivateFrame();
  ProcessEvents();

  FrameOfDoc(second)->close();  // as Ctrl+F4
  ProcessEvents();
  EXPECT_EQ(frame_->ActiveChild(), folderFrame) << "not the tree, the oldest window";
  FrameOfDoc(first)->ActivateFrame();
  ProcessEvents();
  FrameOfDoc(first)->close();
  ProcessEvents();
  EXPECT_EQ(frame_->ActiveChild(), folderFrame);
}

TEST_F(WindowUse, AMaximisedWindowThatClosesLeavesTheNextOneMaximised) {
  TwelveMessages();
  CDirDoc* folder = Open("main");
  ASSERT_NE(folder, nullptr);
  FrameOf(folder)->ActivateFrame(fw::SW_SHOWMAXIMIZED);
  CMsgDoc* message = OpenMessage("main/msg0003.mai");
  ASSERT_NE(message, nullptr);
  ProcessEvents();
  FrameOfDoc(message)->ActivateFrame(fw::SW_SHOWMAXIMIZED);
  ProcessEvents();
  FrameOfDoc(message)->close();
  ProcessEvents();
  ASSERT_EQ(frame_->ActiveChild(), FrameOf(folder));
  EXPECT_TRUE(FrameOf(folder)->isMaximized());
  for (fw::ChildFrame* child : frame_->Children()) {
    if (child != FrameOf(folder)) {
      EXPECT_FALSE(child->isMaximized()) << child->windowTitle().toStdString();
    }
  }
}

}  // namespace
}  // namespace pelldesk::test
