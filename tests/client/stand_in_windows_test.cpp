// The folder, tree and message documents and the folder and tree views with stand-ins
// for the application and no application object: every change of the mailbox goes
// through the folder operations they are given, in order and with the right folder,
// Cancel stops a run over many messages, the folder chooser's answer is the one used,
// the standard folders come from the mailbox they are given, errors reach the reporter,
// and the shared folder-is-empty answer is asked once and again only after a change.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/resource_ids.h"
#include "folder/dir_doc.h"
#include "folder/dir_view.h"
#include "framework/application.h"
#include "framework/commands.h"
#include "framework/message_box.h"
#include "message/msg_doc.h"
#include "message/msg_view.h"
#include "platform/errors.h"
#include "platform/fault.h"
#include "sandbox.h"
#include "stand_in_client.h"
#include "tree/tree_doc.h"
#include "tree/tree_view.h"

namespace pelldesk::test {
namespace {

namespace fs = std::filesystem;

const char kMessage[] = "Received: by NODEA; Mon, 12 Jan 1995 10:20:30 GMT\r\nFrom: NODEA::SMITH\r\n"
                        "Subject: minutes\r\n\r\nThe text.\r\n";

class StandIns : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(fw::Application::Instance(), nullptr) << "these windows must do without an application";
  }

  // `rest` below the mail directory.
  std::string Mail(const std::string& rest) const { return sandbox_.Path("mail/" + rest); }
  std::string Write(const std::string& rest) const {
    pellam::test::WriteTextFile(Mail(rest), kMessage);
    return Mail(rest);
  }
  // A folder document on `rest` (no final "/") holding `messages` messages.
  std::unique_ptr<CDirDoc> Folder(const std::string& rest, int messages) {
    fs::create_directories(Mail(rest));
    for (int n = 1; n <= messages; ++n) Write(rest + "/msg000" + std::to_string(n) + ".mai");
    auto doc = std::make_unique<CDirDoc>(client_.services());
    EXPECT_TRUE(doc->OnOpenDocument(Mail(rest)));
    EXPECT_EQ(doc->count(), messages);
    return doc;
  }
  static std::string PathOf(const CDirDoc& doc, int index) {
    std::string path;
    doc.GetEntryPath(index, &path);
    return path;
  }
  static bool Enabled(const fw::CommandTarget& target, int id) {
    fw::CommandState state;
    return target.QueryState(id, &state) && state.enabled;
  }

  pellam::test::Sandbox sandbox_;
  StandInClient client_{sandbox_.Path("mail/")};
};

TEST_F(StandIns, DeleteContentsDeletesEachLiveMessageThroughTheOperationsAndStopsAtCancel) {
  std::unique_ptr<CDirDoc> doc = Folder("work", 4);
  // Listing order is the directory's: the expectations follow the document's own.
  const std::string moved = PathOf(*doc, 1);
  doc->MarkEntryMoved(moved, Mail("main/msg0001.mai"), false);
  const std::string cancelled = PathOf(*doc, 2);
  client_.answer = [&](const std::string& operation) {
    return operation == "delete " + cancelled + " ask" ? fw::IDCANCEL : 0;
  };
  ASSERT_TRUE(Enabled(*doc, kCmdDeleteContents));
  doc->DeleteAllMessages();
  const std::vector<std::string> want = {"delete " + PathOf(*doc, 0) + " ask", "delete " + cancelled + " ask"};
  EXPECT_EQ(client_.operations, want) << "the moved message is skipped, and Cancel ends the run";
  EXPECT_TRUE(client_.reports.empty());
}

TEST_F(StandIns, TheDeletedFolderIsKnownByTheMailboxItIsGivenAndKeepsItsMessages) {
  std::unique_ptr<CDirDoc> doc = Folder("deleted", 2);
  EXPECT_EQ(doc->kind(), FolderKind::Deleted);
  EXPECT_FALSE(Enabled(*doc, kCmdDeleteContents));
  doc->DeleteAllMessages();
  EXPECT_TRUE(client_.operations.empty());
  EXPECT_EQ(Folder("main", 0)->kind(), FolderKind::Main);
  EXPECT_EQ(Folder("new", 0)->kind(), FolderKind::New);
  EXPECT_EQ(Folder("work", 0)->kind(), FolderKind::Other);
}

TEST_F(StandIns, MoveContentsMovesEachMessageWhereTheChooserSaid) {
  std::unique_ptr<CDirDoc> doc = Folder("work", 2);
  doc->MoveAllMessages();  // the chooser answers Cancel
  EXPECT_EQ(client_.choicesAsked, 1);
  EXPECT_TRUE(client_.operations.empty());

  client_.choice = FolderChoice{"archive/1995", true};
  doc->MoveAllMessages();
  EXPECT_EQ(client_.choicesAsked, 2);
  EXPECT_EQ(client_.operations, (std::vector<std::string>{"move " + PathOf(*doc, 0) + " to archive/1995 create ask",
                                                          "move " + PathOf(*doc, 1) + " to archive/1995 create ask"}));
}

TEST_F(StandIns, ClosingAFolderWindowRemovesItsEmptyFolderOnlyWhenItShould) {
  const struct {
    const char* folder;
    bool empty;
    bool deletion;
    int removal;  // what the removal answers; 0 also reports the folder gone
    bool removed;
  } rows[] = {
      {"work", true, true, 0, true},    // FolderDeletion on: the empty folder goes
      {"work", true, true, 1, true},    // the removal failed: the tree still hears of the close
      {"work", true, false, 0, false},  // FolderDeletion off
      {"work", false, true, 0, false},  // a message left in it
      {"main", true, true, 0, false},   // never a standard folder
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.folder) + (row.empty ? " empty" : " holding one") +
                 (row.deletion ? ", deletion on" : ", deletion off") +
                 ", removal answers " + std::to_string(row.removal));
    client_.operations.clear();
    client_.deletion = row.deletion;
    fs::remove_all(Mail(row.folder));
    std::unique_ptr<CDirDoc> doc = Folder(row.folder, row.empty ? 0 : 1);
    const std::string path = Mail(row.folder) + "/";
    client_.answer = [&](const std::string& operation) {
      if (operation != "delete folder " + path) return 0;
      // The application's operation tells the window whose folder it removed.
      if (row.removal == 0) doc->OnFileMoved(Mail(row.folder), Mail(row.folder), true);
      return row.removal;
    };
    doc->OnCloseDocument();
    std::vector<std::string> want;
    if (row.removed) want.push_back("delete folder " + path);
    if (!row.removed || row.removal != 0) want.push_back("folder closed " + path);
    EXPECT_EQ(client_.operations, want);
  }
}

TEST_F(StandIns, TheFolderCommandsShareOneEmptinessAnswerUntilTheFolderChanges) {
  std::unique_ptr<CDirDoc> doc = Folder("work", 1);
  client_.listings = 0;
  EXPECT_FALSE(Enabled(*doc, kCmdDeleteFolder));
  EXPECT_TRUE(Enabled(*doc, kCmdDeleteContents));
  EXPECT_TRUE(Enabled(*doc, kCmdMoveContents));
  EXPECT_EQ(client_.listings, 0) << "the load found a message: the three rules need no listing";
  // The message moves out; the next question lists the folder again, once.
  fs::rename(PathOf(*doc, 0), Mail("elsewhere.mai"));
  doc->MarkEntryMoved(PathOf(*doc, 0), Mail("main/msg0001.mai"), false);
  EXPECT_TRUE(Enabled(*doc, kCmdDeleteFolder));
  EXPECT_TRUE(Enabled(*doc, kCmdDeleteFolder));
  EXPECT_EQ(client_.listings, 1);
}

TEST_F(StandIns, AMessageThatCannotBeOpenedIsReportedAndTheOthersAreRead) {
  fs::create_directories(Mail("work"));
  Write("work/msg0001.mai");
  Write("work/msg0002.mai");
  CDirDoc doc(client_.services());
  platform::fault::Scope faults;
  platform::fault::FailNth(platform::fault::Op::Open, 2, ERROR_ACCESS_DENIED);  // the listing, then the first file
  ASSERT_TRUE(doc.OnOpenDocument(Mail("work")));
  ASSERT_EQ(doc.count(), 2);
  const MessageEntry& failed = doc.GetEntry(0);
  const std::string report =
      *FormatErrorReport("Mail file %s cannot be opened.", failed.fileName.c_str(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(client_.reports, std::vector<std::string>{report});
  EXPECT_EQ(failed.from, kHeadersNotRead);
  EXPECT_EQ(doc.GetEntry(1).from, "NODEA::SMITH");
}

TEST_F(StandIns, AMessageOpenInAnotherWindowIsListedOpen) {
  fs::create_directories(Mail("work"));
  client_.openPaths = {Write("work/msg0001.mai")};
  Write("work/msg0002.mai");
  CDirDoc doc(client_.services());
  ASSERT_TRUE(doc.OnOpenDocument(Mail("work")));
  for (int i = 0; i < doc.count(); ++i) {
    EXPECT_EQ(doc.GetEntry(i).state, PathOf(doc, i) == client_.openPaths[0] ? kEntryOpen : kEntryListed) << i;
  }
}

TEST_F(StandIns, TheFolderViewDeletesMovesAndOpensTheSelectedMessageThroughTheOperations) {
  std::unique_ptr<CDirDoc> doc = Folder("work", 3);
  auto view = std::make_unique<CDirView>(client_.services());
  doc->AddView(view.get());
  view->OnInitialUpdate();

  view->Select(0);
  client_.answer = [](const std::string&) { return 1; };  // the operation failed
  view->DeleteSelected();
  EXPECT_EQ(view->selection(), 0) << "a failed delete keeps the selection";
  client_.answer = nullptr;
  view->DeleteSelected();
  EXPECT_EQ(view->selection(), -1);

  view->Select(1);
  client_.choice = FolderChoice{"work/old", false};
  view->MoveSelected();
  view->Select(2);
  view->OpenSelected();
  EXPECT_EQ(client_.operations, (std::vector<std::string>{"delete " + PathOf(*doc, 0), "delete " + PathOf(*doc, 0),
                                                          "move " + PathOf(*doc, 1) + " to work/old"}));
  EXPECT_EQ(client_.opened, std::vector<std::string>{PathOf(*doc, 2)});
  EXPECT_EQ(doc->GetEntry(2).state, kEntryOpen);
  view.reset();
}

class StandInTree : public StandIns {
 protected:
  std::string Root() const {
    std::string root = Mail("");
    root.pop_back();
    return root;
  }
};

TEST_F(StandInTree, FoldersOpenElsewhereStartOpenAndTheTreeClosesOnlyAtTheEnd) {
  for (const char* folder : {"main", "new", "work/projects"}) fs::create_directories(Mail(folder));
  client_.openPaths = {Mail("work")};
  CTreeDoc tree(client_.services());
  ASSERT_TRUE(tree.OnOpenDocument(Root()));
  ASSERT_EQ(tree.count(), 5);
  for (int i = 0; i < tree.count(); ++i) {
    const FolderEntry& entry = tree.GetFolderEntry(i);
    EXPECT_EQ(entry.state, entry.path == Mail("work") ? FolderState::Open : FolderState::Listed) << entry.path;
  }
  EXPECT_FALSE(tree.CanCloseFrame(nullptr));
  EXPECT_FALSE(Enabled(tree, fw::kFileClose));
  client_.ending = true;
  EXPECT_TRUE(tree.CanCloseFrame(nullptr));
  EXPECT_TRUE(Enabled(tree, fw::kFileClose));
  EXPECT_TRUE(client_.reports.empty());
}

TEST_F(StandInTree, AFailedSearchIsReportedAndLeavesNoTree) {
  fs::create_directories(Mail("main"));
  CTreeDoc tree(client_.services());
  platform::fault::Scope faults;
  platform::fault::FailNth(platform::fault::Op::Open, 1, ERROR_ACCESS_DENIED);
  EXPECT_FALSE(tree.OnOpenDocument(Root()));
  EXPECT_EQ(tree.count(), 0);
  const std::string report = *FormatErrorReport("Search for %s returned unexpected error.",
                                                (Root() + "/*.").c_str(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(client_.reports, std::vector<std::string>{report});
}

TEST_F(StandInTree, TheTreeViewRemovesOnlyAnEmptySelectedFolder) {
  fs::create_directories(Mail("work/projects"));
  CTreeDoc tree(client_.services());
  ASSERT_TRUE(tree.OnOpenDocument(Root()));
  auto view = std::make_unique<CTreeView>(client_.services());
  tree.AddView(view.get());
  view->OnInitialUpdate();
  int work = -1;
  int projects = -1;
  for (int i = 0; i < tree.count(); ++i) {
    if (tree.GetFolderEntry(i).path == Mail("work")) work = i;
    if (tree.GetFolderEntry(i).path == Mail("work/projects")) projects = i;
  }
  ASSERT_GE(work, 0);
  ASSERT_GE(projects, 0);
  view->Select(work);
  EXPECT_FALSE(Enabled(*view, kCmdDeleteFolder)) << "a folder holding a folder";
  view->Select(projects);
  EXPECT_TRUE(Enabled(*view, kCmdDeleteFolder));
  EXPECT_TRUE(view->Dispatch(kCmdDeleteFolder));
  EXPECT_EQ(client_.operations, std::vector<std::string>{"delete folder " + Mail("work/projects")});
  view.reset();
}

// A message document with its view, as the message window kind makes them.
class StandInMessage : public StandIns {
 protected:
  void TearDown() override { Reset(); }
  void Reset() {
    delete view_;  // before its document
    view_ = nullptr;
    doc_.reset();
  }
  // A new document and view in place of the last.
  CMsgDoc& Make() {
    Reset();
    doc_ = std::make_unique<CMsgDoc>(client_.services());
    view_ = new CMsgView(client_.services());
    doc_->AddView(view_);
    return *doc_;
  }
  CMsgDoc& Read(const std::string& rest) {
    CMsgDoc& doc = Make();
    const std::string path = Write(rest);
    EXPECT_TRUE(doc.OnOpenDocument(path));
    doc.SetPathName(path);
    return doc;
  }

  std::unique_ptr<CMsgDoc> doc_;
  CMsgView* view_ = nullptr;
};

TEST_F(StandInMessage, ClosingAMessageReadFromNewFilesItIntoMainThroughTheOperations) {
  const struct {
    const char* file;
    int move;  // what the filing answers
    bool filed;
  } rows[] = {{"new/msg0001.mai", 0, true}, {"new/msg0002.mai", 1, true}, {"main/msg0001.mai", 0, false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.file) + ", the move answers " + std::to_string(row.move));
    client_.operations.clear();
    client_.answer = [&](const std::string& operation) { return operation.rfind("move ", 0) == 0 ? row.move : 0; };
    CMsgDoc& doc = Read(row.file);
    const std::string path = doc.pathName();
    doc.OnCloseDocument();
    std::vector<std::string> want;
    if (row.filed) want.push_back("move " + path + " to  create");  // no name: "main"
    if (!row.filed || row.move != 0) want.push_back("message closed " + path);
    EXPECT_EQ(client_.operations, want);
  }
}

TEST_F(StandInMessage, DeleteAndMoveGoThroughTheOperationsAndTheChooser) {
  CMsgDoc& doc = Read("main/msg0001.mai");
  doc.Move();  // the chooser answers Cancel
  EXPECT_TRUE(client_.operations.empty());
  client_.choice = FolderChoice{"work", false};
  doc.Move();
  doc.Delete();
  EXPECT_EQ(client_.operations, (std::vector<std::string>{"move " + doc.pathName() + " to work",
                                                          "delete " + doc.pathName()}));

  CMsgDoc& deleted = Read("deleted/msg0001.mai");
  EXPECT_FALSE(Enabled(deleted, kCmdDelete));
  client_.operations.clear();
  deleted.Delete();
  EXPECT_TRUE(client_.operations.empty()) << "a message in \"deleted\" is not deleted again";
}

TEST_F(StandInMessage, ACompositionIsFromTheUserAndItsAbandonedCopyGoesToTheMailDirectory) {
  EXPECT_EQ(Make().from, "ann  (Ann Smith)");
  client_.full.clear();
  CMsgDoc& doc = Make();
  EXPECT_EQ(doc.from, "ann");
  ASSERT_TRUE(doc.OnNewDocument());
  fs::create_directories(Mail(""));
  const std::string text = "To: NODEB::JONES\r\nSubject: lunch\r\n\r\nNoon?\r\n";
  view_->SetText(text);
  doc.SetModifiedFlag(true);
  doc.Cancel();
  EXPECT_EQ(pellam::test::ReadTextFile(Mail("lastquit.txt")), text);
  EXPECT_FALSE(doc.IsModified());
}

TEST_F(StandInMessage, AFileThatCannotBeReadIsReported) {
  CMsgDoc& doc = Make();
  EXPECT_FALSE(doc.OnOpenDocument(Mail("main/msg0009.mai")));
  ASSERT_EQ(client_.reports.size(), 1u);
  EXPECT_EQ(client_.reports[0].rfind("Can't open the message file " + Mail("main/msg0009.mai") + ".", 0), 0u)
      << client_.reports[0];
}

}  // namespace
}  // namespace pelldesk::test
