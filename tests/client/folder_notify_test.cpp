// What a folder window is told and what it tells: messages deleted, moved or purged by
// the folder operations turn their lines grey (and close their message windows), the
// open and closed message windows change a line's picture, a folder removed elsewhere
// closes its window, and a closing window either removes its empty folder (FolderDeletion
// on) or tells the tree it is no longer open.
#include <filesystem>

#include "app/mailbox_listeners.h"
#include "framework/doc_template.h"
#include "framework/message_box.h"
#include "folder_test_support.h"
#include "platform/errors.h"
#include "platform/fault.h"

namespace pelldesk::test {
namespace {

namespace fs = std::filesystem;
using platform::fault::Op;

std::vector<std::string>& Heard() {
  static std::vector<std::string> heard;
  return heard;
}

class StandInView : public QWidget, public fw::View {
 public:
  QWidget* widget() override { return this; }
};

// A message window that closes when its file is moved, as the real one does.
class StandInMessage : public fw::Document, public MovedFileListener {
 public:
  bool OnOpenDocument(const std::string&) override { return true; }
  void OnFileMoved(const std::string& from, const std::string&, bool toDeleted) override {
    Heard().push_back("message moved " + from + (toDeleted ? " deleted" : ""));
    OnCloseDocument();
  }
};

class StandInTree : public fw::Document, public FolderTreeListener {
 public:
  bool OnOpenDocument(const std::string&) override { return true; }
  void MarkFolderMoved(const std::string& from, const std::string&, bool toDeleted) override {
    Heard().push_back("tree folder moved " + from + (toDeleted ? " deleted" : ""));
  }
  void MarkFolderOpen(const std::string& path, bool open) override {
    Heard().push_back("tree folder " + std::string(open ? "open " : "closed ") + path);
  }
  std::vector<std::string> FolderPaths() const override { return {}; }
};

template <typename Doc>
fw::DocumentKind StandInKind() {
  return {[] { return std::make_unique<Doc>(); }, {}, [] { return new StandInView; }};
}

class FolderNotices : public FolderTest {
 protected:
  void SetUp() override {
    FolderTest::SetUp();
    Heard().clear();
    app_.messageTemplate()->SetDocumentKind(StandInKind<StandInMessage>());
    app_.treeTemplate()->SetDocumentKind(StandInKind<StandInTree>());
    // A tree window beside the one start-up opened, which records what it is told.
    ASSERT_NE(app_.treeTemplate()->OpenDocumentFile(Mail("recording-tree").c_str(), true), nullptr);
  }
  fw::Document* OpenMessage(const std::string& rest) {
    return app_.messageTemplate()->OpenDocumentFile(Mail(rest).c_str(), true);
  }
  std::vector<int> States(const CDirDoc* doc) const {
    std::vector<int> states;
    for (int i = 0; i < doc->count(); ++i) states.push_back(doc->GetEntry(i).state);
    return states;
  }
  // Closes a folder window as its close box does.
  void CloseWindow(CDirDoc* doc) {
    FrameOf(doc)->close();
    ProcessEvents();
  }
};

TEST_F(FolderNotices, DeletingAMessageOpenInAWindowClosesItAndGreysItsLine) {
  Write("work/msg0001.mai", MessageText("SMITH", "one"));
  Write("work/msg0002.mai", MessageText("JONES", "two"));
  ASSERT_NE(OpenMessage("work/msg0002.mai"), nullptr);
  CDirDoc* doc = Open("work");
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(States(doc), (std::vector<int>{kEntryListed, kEntryOpen}));  // open at load

  EXPECT_EQ(app_.DeleteMessage(Mail("work/msg0002.mai"), false), 0);
  EXPECT_EQ(Heard(), std::vector<std::string>{"message moved " + Mail("work/msg0002.mai") + " deleted"});
  EXPECT_EQ(app_.FindOpenDocument(Mail("work/msg0002.mai")), nullptr);
  EXPECT_EQ(States(doc), (std::vector<int>{kEntryListed, kEntryDeleted}));
  EXPECT_FALSE(fs::exists(Mail("work/msg0002.mai")));
  EXPECT_EQ(fs::directory_iterator(Mail("deleted")) != fs::directory_iterator(), true);
}

TEST_F(FolderNotices, MovesAndPurgesMarkTheirLines) {
  Write("work/msg0001.mai", MessageText("SMITH", "one"));
  Write("work/msg0002.mai", MessageText("JONES", "two"));
  CDirDoc* work = Open("work");
  ASSERT_NE(work, nullptr);
  EXPECT_EQ(app_.MoveMessage(Mail("work/msg0001.mai"), "elsewhere", true, false), 0);
  EXPECT_EQ(States(work), (std::vector<int>{kEntryMoved, kEntryListed}));

  EXPECT_EQ(app_.DeleteMessage(Mail("work/msg0002.mai"), false), 0);
  CDirDoc* deleted = Open("deleted");
  ASSERT_NE(deleted, nullptr);
  ASSERT_EQ(deleted->count(), 1);
  app_.PurgeDeleted();
  EXPECT_EQ(States(deleted), std::vector<int>{kEntryDeleted});
  EXPECT_EQ(States(work), (std::vector<int>{kEntryMoved, kEntryDeleted}));
}

TEST_F(FolderNotices, OpenAndClosedWindowsChangeTheLineAsTheStatesAllow) {
  Write("work/msg0001.mai", MessageText("SMITH", "one"));
  CDirDoc* doc = Open("work");
  ASSERT_NE(doc, nullptr);
  const std::string path = Mail("work/msg0001.mai");
  const struct {
    const char* what;
    bool open;
    int want;
  } steps[] = {
      {"closed while only listed", false, kEntryListed}, {"opened", true, kEntryOpen},
      {"opened again", true, kEntryOpen},               {"closed", false, kEntrySeen},
      {"closed again", false, kEntrySeen},              {"opened after being seen", true, kEntryOpen},
  };
  for (const auto& step : steps) {
    doc->MarkEntryOpen(path, step.open);
    EXPECT_EQ(doc->GetEntry(0).state, step.want) << step.what;
  }
  // Gone messages stay as they are until the next load.
  doc->MarkEntryMoved(path, Mail("main/msg0001.mai"), false);
  doc->MarkEntryOpen(path, true);
  EXPECT_EQ(doc->GetEntry(0).state, kEntryMoved);
  doc->MarkEntryOpen(path, false);
  EXPECT_EQ(doc->GetEntry(0).state, kEntryMoved);
  doc->Refresh();
  EXPECT_EQ(doc->GetEntry(0).state, kEntryListed);  // the file is still there
}

TEST_F(FolderNotices, PathsAreComparedExactly) {
  Write("work/msg0001.mai", MessageText("SMITH", "one"));
  CDirDoc* doc = Open("work");
  ASSERT_NE(doc, nullptr);
  const std::string path = Mail("work/msg0001.mai");
  for (const std::string& other : {Mail("work/MSG0001.mai"), Mail("work/msg0001.mai/"), Mail("work/msg0001"),
                                   Mail("wor/msg0001.mai"), std::string("msg0001.mai")}) {
    doc->MarkEntryMoved(other, Mail("deleted/msg0001.mai"), true);
    doc->MarkEntryOpen(other, true);
    EXPECT_EQ(doc->GetEntry(0).state, kEntryListed) << other;
  }
}

TEST_F(FolderNotices, AFolderRemovedElsewhereClosesItsWindow) {
  MakeFolder("empty");
  CDirDoc* doc = Open("empty");
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(app_.DeleteFolder(Mail("empty"), false), 0);
  EXPECT_FALSE(IsOpen("empty"));
  EXPECT_FALSE(fs::exists(Mail("empty")));
  // The tree hears of the removal once, and of no close: the window was not closed by
  // the user.
  EXPECT_EQ(Heard(), std::vector<std::string>{"tree folder moved " + Mail("empty") + " deleted"});
}

TEST_F(FolderNotices, ClosingAWindowRemovesItsEmptyFolderOnlyWhenAsked) {
  const struct {
    const char* what;
    const char* folder;
    bool folderDeletion;
    bool holdsMessage;
    bool removed;
  } rows[] = {
      {"empty folder, FolderDeletion on", "a/b", true, false, true},
      {"empty folder, FolderDeletion off", "c", false, false, false},
      {"folder with a message", "d", true, true, false},
      {"empty standard folder", "main", true, false, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    Heard().clear();
    SetFolderDeletion(row.folderDeletion);
    MakeFolder(row.folder);
    if (row.holdsMessage) Write(std::string(row.folder) + "/msg0001.mai", MessageText("SMITH", "s"));
    CDirDoc* doc = Open(row.folder);
    ASSERT_NE(doc, nullptr);
    CloseWindow(doc);
    EXPECT_FALSE(IsOpen(row.folder));
    EXPECT_EQ(fs::exists(Mail(row.folder)), !row.removed);
    const std::string path = Mail(row.folder);
    std::vector<std::string> want{row.removed ? "tree folder moved " + path + " deleted"
                                              : "tree folder closed " + path};
    if (row.removed) want.push_back("tree folder moved " + Mail("a") + " deleted");  // the emptied parent
    EXPECT_EQ(Heard(), want);
  }
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{});
}

TEST_F(FolderNotices, AFolderThatCannotBeRemovedAtCloseIsReportedClosed) {
  SetFolderDeletion(true);
  MakeFolder("stuck");
  Write("stuck/#serial.dat", "1\r\n");
  CDirDoc* doc = Open("stuck");
  ASSERT_NE(doc, nullptr);
  {
    platform::fault::Scope faults;
    platform::fault::FailNth(Op::Delete, 1, ERROR_ACCESS_DENIED);
    CloseWindow(doc);
  }
  EXPECT_FALSE(IsOpen("stuck"));
  EXPECT_TRUE(fs::exists(Mail("stuck/#serial.dat")));
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{Report("File %s could not be deleted.", Mail("stuck/#serial.dat"),
                                                        ERROR_ACCESS_DENIED)});
  EXPECT_EQ(Heard(), std::vector<std::string>{"tree folder closed " + Mail("stuck")});
}

}  // namespace
}  // namespace pelldesk::test
