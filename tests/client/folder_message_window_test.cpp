// The folder window beside real message windows: a double click opens one, deleting
// its message from the folder list closes it and greys the line, closing it shows the
// line seen, and a message read from "new" is filed into "main" when its window closes.
#include "folder_test_support.h"
#include "message/msg_doc.h"

namespace pelldesk::test {
namespace {

using FolderWithMessageWindows = FolderTest;

CMsgDoc* OpenFromList(CDirView* view, int row) {
  view->Select(row);
  std::string path;
  view->dirDoc()->GetEntryPath(row, &path);
  view->OpenSelected();
  return dynamic_cast<CMsgDoc*>(CMailApp::Get().FindOpenDocument(path));
}

TEST_F(FolderWithMessageWindows, DeletingAnOpenMessageClosesItsWindowAndGreysItsLine) {
  Write("work/msg0001.mai", MessageText("NODEA::SMITH", "one"));
  Write("work/msg0002.mai", MessageText("NODEA::JONES", "two"));
  CDirDoc* doc = Open("work");
  ASSERT_NE(doc, nullptr);
  CDirView* view = ViewOf(doc);
  ASSERT_NE(OpenFromList(view, 1), nullptr);
  EXPECT_EQ(doc->GetEntry(1).state, kEntryOpen);
  EXPECT_EQ(view->selection(), -1);

  view->Select(1);
  view->DeleteSelected();
  ProcessEvents();
  EXPECT_EQ(app_.FindOpenDocument(Mail("work/msg0002.mai")), nullptr);
  EXPECT_TRUE(app_.messageTemplate()->documents().empty());
  EXPECT_EQ(doc->GetEntry(1).state, kEntryDeleted);
  EXPECT_EQ(doc->GetEntry(0).state, kEntryListed);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{});
}

TEST_F(FolderWithMessageWindows, ClosingAMessageWindowShowsItsLineSeen) {
  Write("work/msg0001.mai", MessageText("NODEA::SMITH", "one"));
  CDirDoc* doc = Open("work");
  ASSERT_NE(doc, nullptr);
  CMsgDoc* message = OpenFromList(ViewOf(doc), 0);
  ASSERT_NE(message, nullptr);
  message->OnCloseDocument();
  ProcessEvents();
  EXPECT_EQ(doc->GetEntry(0).state, kEntrySeen);
}

TEST_F(FolderWithMessageWindows, AMessageReadFromNewIsFiledIntoMainWhenItsWindowCloses) {
  Write("new/msg0001.mai", MessageText("NODEA::SMITH", "one"));
  CDirDoc* doc = Open("new");
  ASSERT_NE(doc, nullptr);
  CMsgDoc* message = OpenFromList(ViewOf(doc), 0);
  ASSERT_NE(message, nullptr);
  message->OnCloseDocument();
  ProcessEvents();
  EXPECT_EQ(doc->GetEntry(0).state, kEntryMoved);
  EXPECT_TRUE(std::filesystem::exists(Mail("main/msg0001.mai")));
}

}  // namespace
}  // namespace pelldesk::test
