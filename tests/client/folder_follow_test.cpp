// Windows that follow the disk: the change notification reports names with their
// directory, a folder window adds a message that arrives (moved or copied in) and
// greys one taken away, keeping its selection and scroll position and reading only
// what changed, and the tree shows a folder made by a move or by another program.
#include <QScrollBar>

#include <filesystem>

#include "folder_test_support.h"
#include "platform/errors.h"
#include "tree/tree_doc.h"

namespace pelldesk::test {
namespace {

namespace fs = std::filesystem;

class FolderFollows : public FolderTest {
 protected:
  CDirDoc* Folder(int messages) {
    MakeFolder("work");
    for (int n = 1; n <= messages; ++n) Write(Name(n), MessageText("SENDER" + std::to_string(n), "Subject " + std::to_string(n)));
    return Open("work");
  }
  static std::string Name(int n) {
    char name[32];
    std::snprintf(name, sizeof name, "work/msg%04d.mai", n);
    return name;
  }
  // Delivered as the service delivers: written elsewhere, then moved in.
  void Deliver(int n, const std::string& subject) {
    const std::string staged = sandbox_.Path("staged.tmp");
    pellam::test::WriteTextFile(staged, MessageText("NEWCOMER@NODEB", subject));
    fs::rename(staged, Mail(Name(n)));
  }
};

TEST_F(FolderFollows, AMessageMovedInIsAddedKeepingTheSelectionAndTheScroll) {
  CDirDoc* doc = Folder(40);
  ASSERT_NE(doc, nullptr);
  ASSERT_TRUE(doc->followsDisk());
  CDirView* view = ViewOf(doc);
  FrameOf(doc)->resize(600, 200);
  ProcessEvents();
  view->Select(20);
  view->verticalScrollBar()->setValue(10 * view->layout().rowHeight);
  const int scrolled = view->verticalScrollBar()->value();

  const std::string subject = "A subject much longer than any other subject of this folder has been so far";
  Deliver(41, subject);
  ASSERT_TRUE(WaitUntil([&] { return doc->count() == 41; }));
  ProcessEvents();
  EXPECT_EQ(doc->GetEntry(40).subject, subject);
  EXPECT_EQ(doc->GetEntry(40).state, kEntryListed);
  EXPECT_EQ(doc->changedEntries(), std::vector<int>{40}) << "only the new file was read";
  ASSERT_EQ(view->rowTexts().size(), 41u);
  EXPECT_EQ(view->rowTexts()[40].subject.toStdString(), subject);
  EXPECT_GE(view->layout().subject.width(), QFontMetrics(*app_.displayFont()).horizontalAdvance(QString::fromStdString(subject)))
      << "the column grew for it";
  EXPECT_EQ(view->selection(), 20);
  EXPECT_EQ(view->verticalScrollBar()->value(), scrolled);
  EXPECT_EQ(view->verticalScrollBar()->maximum(),
            std::max(41 * view->layout().rowHeight - view->viewport()->height(), 0));
  EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(FolderFollows, AMessageCopiedInIsReadOnceItIsWritten) {
  CDirDoc* doc = Folder(2);
  ASSERT_NE(doc, nullptr);
  // Created empty, then written: the copy the library makes when it cannot move.
  pellam::test::WriteTextFile(Mail(Name(3)), "");
  pellam::test::WriteTextFile(Mail(Name(3)), MessageText("COPIER@NODEC", "Copied in"));
  ASSERT_TRUE(WaitUntil([&] { return doc->count() == 3 && doc->GetEntry(2).subject == "Copied in"; }))
      << doc->GetEntry(2).subject;
  EXPECT_EQ(doc->GetEntry(2).from, "COPIER@NODEC");
  // Other files of the folder are none of the list's business.
  pellam::test::WriteTextFile(Mail("work/#serial.dat"), "3");
  pellam::test::WriteTextFile(Mail("work/notes.txt"), "x");
  EXPECT_FALSE(WaitUntil([&] { return doc->count() != 3; }, 300));
}

TEST_F(FolderFollows, AMessageTakenAwayByAnotherProgramTurnsGreyAndLosesTheSelection) {
  CDirDoc* doc = Folder(3);
  ASSERT_NE(doc, nullptr);
  CDirView* view = ViewOf(doc);
  view->Select(1);
  fs::remove(Mail(Name(2)));
  ASSERT_TRUE(WaitUntil([&] { return doc->GetEntry(1).state == kEntryMoved; }));
  ProcessEvents();
  EXPECT_EQ(doc->count(), 3) << "the line stays, greyed, as for a move of the client";
  EXPECT_EQ(view->selection(), -1) << "Move and Delete cannot reach a file that is gone";

  // Put back under its name, it is live again.
  Deliver(2, "Back again");
  ASSERT_TRUE(WaitUntil([&] { return doc->GetEntry(1).state == kEntryListed; }));
  EXPECT_EQ(doc->GetEntry(1).subject, "Back again");
  EXPECT_EQ(doc->count(), 3);
}

TEST_F(FolderFollows, TheClientsOwnMoveIsShownOnceOnBothSides) {
  CDirDoc* work = Folder(2);
  MakeFolder("main");
  CDirDoc* main = Open("main");
  ASSERT_NE(work, nullptr);
  ASSERT_NE(main, nullptr);
  ASSERT_EQ(app_.MoveMessage(Mail(Name(1)), "main", false, false), 0);
  EXPECT_EQ(work->GetEntry(0).state, kEntryMoved);
  ASSERT_TRUE(WaitUntil([&] { return main->count() == 1; }));
  EXPECT_EQ(main->GetEntry(0).from, "SENDER1");
  ProcessEvents();
  EXPECT_EQ(work->count(), 2);
  EXPECT_EQ(work->GetEntry(0).state, kEntryMoved);
  EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(FolderFollows, TheTreeShowsFoldersMadeByAMoveOrByAnotherProgram) {
  auto* tree = dynamic_cast<CTreeDoc*>(app_.treeTemplate()->documents().front());
  ASSERT_NE(tree, nullptr);
  ASSERT_TRUE(tree->followsDisk());
  const auto has = [tree](const std::string& path) {
    const std::vector<std::string> paths = tree->FolderPaths();
    return std::find(paths.begin(), paths.end(), path) != paths.end();
  };
  Folder(1);
  ASSERT_TRUE(WaitUntil([&] { return has(Mail("work")); })) << "made after the tree was built";
  ASSERT_EQ(app_.MoveMessage(Mail(Name(1)), "archive/1995", true, false), 0);
  EXPECT_TRUE(WaitUntil([&] { return has(Mail("archive/1995")); })) << "made by the move";
  EXPECT_TRUE(has(Mail("archive")));

  MakeFolder("elsewhere");
  EXPECT_TRUE(WaitUntil([&] { return has(Mail("elsewhere")); }));
  fs::remove_all(Mail("elsewhere"));
  EXPECT_TRUE(WaitUntil([&] { return !has(Mail("elsewhere")); })) << "removed by another program";
  EXPECT_TRUE(BoxTexts().empty());
}

}  // namespace
}  // namespace pelldesk::test
