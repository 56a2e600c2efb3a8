// The folder commands: when each is enabled, Delete Contents and Move Contents walking
// the live messages and stopping on Cancel or on a missing destination, Delete Folder,
// and Refresh bringing the list up to date.
#include <filesystem>

#include "framework/commands.h"
#include "framework/message_box.h"
#include "folder_test_support.h"
#include "platform/errors.h"
#include "platform/fault.h"

namespace pelldesk::test {
namespace {

namespace fs = std::filesystem;
using platform::fault::Op;

bool Enabled(const fw::CommandTarget& target, int id) {
  fw::CommandState state;
  EXPECT_TRUE(target.QueryState(id, &state)) << id;
  return state.enabled;
}

std::size_t FilesIn(const std::string& dir) {
  if (!fs::exists(dir)) return 0;
  std::size_t n = 0;
  for (const auto& e : fs::directory_iterator(dir)) n += e.path().extension() == ".mai" ? 1 : 0;
  return n;
}

class FolderCommands : public FolderTest {
 protected:
  void ThreeMessages(const std::string& folder) {
    for (int i = 1; i <= 3; ++i) {
      Write(folder + "/msg000" + std::to_string(i) + ".mai", MessageText("SMITH", "m" + std::to_string(i)));
    }
  }
  std::vector<int> States(const CDirDoc* doc) const {
    std::vector<int> states;
    for (int i = 0; i < doc->count(); ++i) states.push_back(doc->GetEntry(i).state);
    return states;
  }
};

TEST_F(FolderCommands, EnabledAsTheFolderAndItsKindAllow) {
  MakeFolder("empty");
  ThreeMessages("full");
  ThreeMessages("deleted");
  MakeFolder("holder/sub");
  const struct {
    const char* folder;
    bool deleteFolder, deleteContents, moveContents;
  } rows[] = {
      {"empty", true, false, false},
      {"full", false, true, true},
      {"deleted", false, false, true},
      {"holder", false, true, true},  // a sub-folder makes a folder not empty
  };
  for (const auto& row : rows) {
    CDirDoc* doc = Open(row.folder);
    ASSERT_NE(doc, nullptr) << row.folder;
    EXPECT_EQ(Enabled(*doc, kCmdDeleteFolder), row.deleteFolder) << row.folder;
    EXPECT_EQ(Enabled(*doc, kCmdDeleteContents), row.deleteContents) << row.folder;
    EXPECT_EQ(Enabled(*doc, kCmdMoveContents), row.moveContents) << row.folder;
    EXPECT_TRUE(Enabled(*doc, kCmdRefresh)) << row.folder;
  }
  // Emptied by the folder operations, a folder may go at once.
  CDirDoc* full = Open("full");
  ASSERT_FALSE(Enabled(*full, kCmdDeleteFolder));
  full->DeleteAllMessages();
  EXPECT_TRUE(Enabled(*full, kCmdDeleteFolder));
  EXPECT_FALSE(Enabled(*full, kCmdMoveContents));
}

TEST_F(FolderCommands, DeleteContentsMovesEveryLiveMessageToDeleted) {
  ThreeMessages("work");
  CDirDoc* doc = Open("work");
  ASSERT_NE(doc, nullptr);
  ASSERT_EQ(app_.MoveMessage(Mail("work/msg0002.mai"), "other", true, false), 0);
  doc->Dispatch(kCmdDeleteContents);
  EXPECT_EQ(States(doc), (std::vector<int>{kEntryDeleted, kEntryMoved, kEntryDeleted}));
  EXPECT_EQ(FilesIn(Mail("work")), 0u);
  EXPECT_EQ(FilesIn(Mail("deleted")), 2u);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{});
}

TEST_F(FolderCommands, DeleteContentsStopsWhenAFailureIsAnsweredWithCancel) {
  for (int answer : {fw::IDCANCEL, fw::IDOK}) {
    SCOPED_TRACE(answer == fw::IDOK ? "OK" : "Cancel");
    fs::remove_all(Mail("work"));
    ThreeMessages("work");
    CDirDoc* doc = Open("work");
    ASSERT_NE(doc, nullptr);
    doc->Refresh();
    boxes_.reset();  // first, so that the new recorder is the one answering
    boxes_ = std::make_unique<MessageBoxRecorder>();
    boxes_->QueueAnswer(answer);
    {
      // The second message can be neither moved nor copied into "deleted".
      platform::fault::Scope faults;
      platform::fault::FailNth(Op::Move, 2, ERROR_ACCESS_DENIED);
      platform::fault::FailNth(Op::Copy, 1, ERROR_ACCESS_DENIED);
      doc->DeleteAllMessages();
    }
    ASSERT_EQ(boxes_->count(), 1u);
    EXPECT_EQ(boxes_->boxes()[0].text, Report("Move to folder \"%s\" failed.", "deleted", ERROR_ACCESS_DENIED));
    EXPECT_EQ(boxes_->boxes()[0].style, fw::MB_OKCANCEL);
    const int third = answer == fw::IDOK ? kEntryDeleted : kEntryListed;
    EXPECT_EQ(States(doc), (std::vector<int>{kEntryDeleted, kEntryListed, third}));
  }
}

TEST_F(FolderCommands, DeleteContentsDoesNothingInDeleted) {
  ThreeMessages("deleted");
  CDirDoc* doc = Open("deleted");
  ASSERT_NE(doc, nullptr);
  doc->DeleteAllMessages();
  EXPECT_EQ(States(doc), (std::vector<int>{kEntryListed, kEntryListed, kEntryListed}));
  EXPECT_EQ(FilesIn(Mail("deleted")), 3u);
}

TEST_F(FolderCommands, MoveContentsToAMissingFolderStopsAtTheFirstMessage) {
  ThreeMessages("work");
  CDirDoc* doc = Open("work");
  ASSERT_NE(doc, nullptr);
  AnswerDestinationDialog("nowhere", false);
  doc->Dispatch(kCmdMoveContents);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{Report("Destination folder \"%s\" does not exist.", "nowhere")});
  EXPECT_EQ(States(doc), (std::vector<int>{kEntryListed, kEntryListed, kEntryListed}));
  EXPECT_FALSE(fs::exists(Mail("nowhere")));
}

TEST_F(FolderCommands, MoveContentsMayCreateTheDestination) {
  ThreeMessages("work");
  CDirDoc* doc = Open("work");
  ASSERT_NE(doc, nullptr);
  ASSERT_EQ(app_.DeleteMessage(Mail("work/msg0001.mai"), false), 0);
  AnswerDestinationDialog("projects\\new", true);
  doc->MoveAllMessages();
  EXPECT_EQ(States(doc), (std::vector<int>{kEntryDeleted, kEntryMoved, kEntryMoved}));
  EXPECT_EQ(FilesIn(Mail("projects/new")), 2u);
  EXPECT_EQ(app_.lastDestination(), "projects/new");
}

TEST_F(FolderCommands, MoveContentsCancelledOrWithoutANameMovesNothing) {
  ThreeMessages("work");
  CDirDoc* doc = Open("work");
  ASSERT_NE(doc, nullptr);
  AnswerDestinationDialog("projects", true, false);
  doc->MoveAllMessages();
  AnswerDestinationDialog("", true);
  doc->MoveAllMessages();
  EXPECT_EQ(States(doc), (std::vector<int>{kEntryListed, kEntryListed, kEntryListed}));
  EXPECT_EQ(FilesIn(Mail("work")), 3u);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{});
}

TEST_F(FolderCommands, DeleteFolderRemovesTheEmptyFolderAndClosesItsWindow) {
  MakeFolder("old");
  Write("old/#serial.dat", "4\r\n");
  CDirDoc* doc = Open("old");
  ASSERT_NE(doc, nullptr);
  doc->Dispatch(kCmdDeleteFolder);
  ProcessEvents();
  EXPECT_FALSE(fs::exists(Mail("old")));
  EXPECT_FALSE(IsOpen("old"));
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{});
}

TEST_F(FolderCommands, DeleteFolderOfAFolderThatIsNotEmptyIsReported) {
  ThreeMessages("busy");
  CDirDoc* doc = Open("busy");
  ASSERT_NE(doc, nullptr);
  doc->DeleteFolder();
  ASSERT_EQ(boxes_->count(), 1u);
  EXPECT_EQ(boxes_->boxes()[0].text, Report("Directory %s could not be removed.", Mail("busy/"), ERROR_DIR_NOT_EMPTY));
  EXPECT_TRUE(IsOpen("busy"));
  EXPECT_EQ(FilesIn(Mail("busy")), 3u);
}

TEST_F(FolderCommands, RefreshListsTheFilesAsTheyAreNow) {
  ThreeMessages("work");
  CDirDoc* doc = Open("work");
  ASSERT_NE(doc, nullptr);
  CDirView* view = ViewOf(doc);
  ASSERT_NE(view, nullptr);
  fs::remove(Mail("work/msg0001.mai"));
  Write("work/msg0004.mai", MessageText("JONES", "late"));
  view->Dispatch(kCmdRefresh);  // as the folder operations send it when the window is opened again
  ASSERT_EQ(doc->count(), 3);
  EXPECT_EQ(doc->GetEntry(0).fileName, "msg0002.mai");
  EXPECT_EQ(doc->GetEntry(2).subject, "late");
  ASSERT_EQ(view->rowTexts().size(), 3u);
  EXPECT_EQ(view->rowTexts()[2].subject, "late");
}

TEST_F(FolderCommands, OpeningAnOpenFolderBringsItsWindowBackRefreshed) {
  ThreeMessages("work");
  CDirDoc* doc = Open("work");
  ASSERT_NE(doc, nullptr);
  Write("work/msg0009.mai", MessageText("JONES", "late"));
  EXPECT_EQ(Open("work/"), doc);
  EXPECT_EQ(doc->count(), 4);
  EXPECT_EQ(app_.folderTemplate()->documents().size(), 1u);
}

}  // namespace
}  // namespace pelldesk::test
