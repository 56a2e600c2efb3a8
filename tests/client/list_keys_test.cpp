// The keyboard in the folder list and the tree: arrows, pages, Home and End move the
// selection over live lines and keep it in view, Enter opens, Delete deletes as the
// command does, and a double click opens the line under it even when it was selected.
#include <QScrollBar>
#include <QTest>

#include "app/list_keys.h"
#include "folder_test_support.h"
#include "tree/tree_doc.h"
#include "tree/tree_view.h"

namespace pelldesk::test {
namespace {

TEST(ListKeys, MovesSkipLinesThatCannotBeSelectedAndStopAtTheEnds) {
  // Lines 2 and 3 are grey; 10 lines, 4 to a page.
  const auto live = [](int row) { return row != 2 && row != 3; };
  const struct {
    int key;
    int selected;
    ListKeyAction action;
    int row;
  } cases[] = {
      {Qt::Key_Down, -1, ListKeyAction::Select, 0},   {Qt::Key_Up, -1, ListKeyAction::Select, 9},
      {Qt::Key_Down, 1, ListKeyAction::Select, 4},    {Qt::Key_Up, 4, ListKeyAction::Select, 1},
      {Qt::Key_Down, 9, ListKeyAction::Select, 9},    {Qt::Key_Up, 0, ListKeyAction::Select, 0},
      {Qt::Key_PageDown, 0, ListKeyAction::Select, 4}, {Qt::Key_PageDown, 8, ListKeyAction::Select, 9},
      {Qt::Key_PageUp, 5, ListKeyAction::Select, 1},  {Qt::Key_PageUp, 1, ListKeyAction::Select, 0},
      {Qt::Key_Home, 7, ListKeyAction::Select, 0},    {Qt::Key_End, 0, ListKeyAction::Select, 9},
      {Qt::Key_Return, 4, ListKeyAction::Open, 4},    {Qt::Key_Enter, 4, ListKeyAction::Open, 4},
      {Qt::Key_Return, -1, ListKeyAction::None, -1},  {Qt::Key_Delete, 5, ListKeyAction::Delete, 5},
      {Qt::Key_Delete, -1, ListKeyAction::None, -1},  {Qt::Key_A, 5, ListKeyAction::None, -1},
  };
  for (const auto& c : cases) {
    const ListKeyResult result = ListKeyOf(c.key, c.selected, 10, 4, live);
    EXPECT_EQ(result.action, c.action) << "key " << c.key << " from " << c.selected;
    if (c.action != ListKeyAction::None) {
      EXPECT_EQ(result.row, c.row) << "key " << c.key << " from " << c.selected;
    }
  }
  EXPECT_EQ(ListKeyOf(Qt::Key_Down, -1, 0, 4, live).action, ListKeyAction::None) << "an empty list";
  EXPECT_EQ(ListKeyOf(Qt::Key_Home, -1, 3, 4, [](int) { return false; }).action, ListKeyAction::None)
      << "nothing selectable";
}

TEST(ListKeys, TheScrollMovesOnlyAsFarAsTheLineNeeds) {
  EXPECT_EQ(ScrollValueToShow(100, 20, 50, 200), 50) << "in view: no move";
  EXPECT_EQ(ScrollValueToShow(300, 20, 50, 200), 120) << "below: to the bottom";
  EXPECT_EQ(ScrollValueToShow(20, 20, 50, 200), 20) << "above: to the top";
}

class FolderKeys : public FolderTest {
 protected:
  CDirDoc* FolderOf(int messages) {
    MakeFolder("work");
    for (int n = 1; n <= messages; ++n) {
      char name[32];
      std::snprintf(name, sizeof name, "work/msg%04d.mai", n);
      Write(name, MessageText("SENDER" + std::to_string(n), "Subject " + std::to_string(n)));
    }
    return Open("work");
  }
  static void Key(CDirView* view, Qt::Key key) { QTest::keyClick(view, key); }
};

TEST_F(FolderKeys, ArrowsPagesHomeAndEndKeepTheSelectionInView) {
  CDirDoc* doc = FolderOf(60);
  CDirView* view = ViewOf(doc);
  ASSERT_NE(view, nullptr);
  FrameOf(doc)->resize(500, 300);
  ProcessEvents();
  doc->MarkEntryMoved(Mail("work/msg0002.mai"), Mail("main/msg0002.mai"), false);
  Key(view, Qt::Key_Down);
  EXPECT_EQ(view->selection(), 0);
  Key(view, Qt::Key_Down);
  EXPECT_EQ(view->selection(), 2) << "the moved line 1 is passed over";
  Key(view, Qt::Key_End);
  EXPECT_EQ(view->selection(), 59);
  const QScrollBar* bar = view->verticalScrollBar();
  const int rowHeight = view->layout().rowHeight;
  EXPECT_GT(bar->value(), 0);
  EXPECT_LE(59 * rowHeight, bar->value() + view->viewport()->height() - rowHeight) << "the last line is in view";
  Key(view, Qt::Key_PageUp);
  const int page = view->viewport()->height() / rowHeight;
  EXPECT_EQ(view->selection(), 59 - page);
  EXPECT_GE(view->selection() * rowHeight, bar->value());
  Key(view, Qt::Key_Home);
  EXPECT_EQ(view->selection(), 0);
  EXPECT_EQ(bar->value(), 0);
  Key(view, Qt::Key_PageDown);
  EXPECT_EQ(view->selection(), page);
}

TEST_F(FolderKeys, EnterOpensTheMessageAndDeleteMovesItToDeleted) {
  CDirDoc* doc = FolderOf(3);
  CDirView* view = ViewOf(doc);
  ASSERT_NE(view, nullptr);
  view->setFocus();
  Key(view, Qt::Key_Down);
  Key(view, Qt::Key_Return);
  EXPECT_NE(app_.FindOpenDocument(Mail("work/msg0001.mai")), nullptr) << "its message window";
  EXPECT_EQ(doc->GetEntry(0).state, kEntryOpen);

  FrameOf(doc)->ActivateFrame();
  ProcessEvents();
  Key(view, Qt::Key_Down);
  Key(view, Qt::Key_Down);
  ASSERT_EQ(view->selection(), 1);
  Key(view, Qt::Key_Delete);
  EXPECT_FALSE(std::filesystem::exists(Mail("work/msg0002.mai")));
  EXPECT_EQ(doc->GetEntry(1).state, kEntryDeleted);
  EXPECT_EQ(view->selection(), -1);
  EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(FolderKeys, ADoubleClickOnTheSelectedLineOpensIt) {
  CDirDoc* doc = FolderOf(3);
  CDirView* view = ViewOf(doc);
  ASSERT_NE(view, nullptr);
  const QPoint at(5, view->layout().rowHeight + 2);  // line 1
  QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  ASSERT_EQ(view->selection(), 1);
  QTest::mouseDClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  EXPECT_NE(app_.FindOpenDocument(Mail("work/msg0002.mai")), nullptr);
}

class TreeKeys : public FolderTest {};

TEST_F(TreeKeys, ArrowsMoveEnterOpensAndDeleteRemovesAnEmptyFolder) {
  MakeFolder("work/empty");
  auto* tree = dynamic_cast<CTreeDoc*>(app_.treeTemplate()->documents().front());
  ASSERT_NE(tree, nullptr);
  tree->Refresh();
  auto* view = dynamic_cast<CTreeView*>(tree->views().front());
  ASSERT_NE(view, nullptr);
  int work = -1;
  int empty = -1;
  for (int i = 0; i < tree->count(); ++i) {
    if (tree->GetFolderEntry(i).path == Mail("work")) work = i;
    if (tree->GetFolderEntry(i).path == Mail("work/empty")) empty = i;
  }
  ASSERT_GT(work, 0);
  ASSERT_EQ(empty, work + 1);
  view->Select(work);
  QTest::keyClick(view, Qt::Key_Up);
  EXPECT_EQ(view->selected(), work - 1);
  QTest::keyClick(view, Qt::Key_Down);
  QTest::keyClick(view, Qt::Key_Return);
  EXPECT_TRUE(IsOpen("work")) << "Enter opened the folder window";
  EXPECT_EQ(tree->GetFolderEntry(work).state, FolderState::Open);

  view->frame()->ActivateFrame();
  ProcessEvents();
  view->Select(empty);
  QTest::keyClick(view, Qt::Key_Delete);
  EXPECT_FALSE(std::filesystem::exists(Mail("work/empty")));
  EXPECT_EQ(tree->GetFolderEntry(empty).state, FolderState::Deleted);
  QTest::keyClick(view, Qt::Key_End);
  EXPECT_EQ(view->selected(), work) << "the deleted line cannot be selected";
}

}  // namespace
}  // namespace pelldesk::test
