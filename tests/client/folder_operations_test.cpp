// The folder operations over real files, with stand-in windows that record what they
// are told: moves and deletions with their messages and results, the folder cascade
// that stops at the standard folders, purging with a file that will not go, finding
// and activating open windows, and the Destination folder dialog.
#include <QComboBox>
#include <QCheckBox>
#include <QLineEdit>
#include <QWidget>

#include <filesystem>

#include "app/dest_folder_dlg.h"
#include "app/mailbox_listeners.h"
#include "app/resource_ids.h"
#include "client_test_support.h"
#include "framework/child_frame.h"
#include "framework/doc_template.h"
#include "framework/document.h"
#include "framework/view.h"
#include "platform/errors.h"
#include "platform/fault.h"

namespace pelldesk::test {
namespace {

namespace fs = std::filesystem;

// What the stand-in windows were told, in order.
std::vector<std::string>& Heard() {
  static std::vector<std::string> heard;
  return heard;
}

class StandInView : public QWidget, public fw::View {
 public:
  StandInView() {
    OnCommand(kCmdRefresh, [this] { ++refreshes; });
  }
  QWidget* widget() override { return this; }
  int refreshes = 0;
};

class StandInMessage : public fw::Document, public MovedFileListener {
 public:
  bool OnOpenDocument(const std::string&) override { return true; }
  void OnFileMoved(const std::string& from, const std::string& to, bool toDeleted) override {
    Heard().push_back("message moved " + from + " -> " + to + (toDeleted ? " deleted" : ""));
    OnCloseDocument();
  }
};

class StandInFolder : public fw::Document, public MovedFileListener, public FolderEntryListener {
 public:
  bool OnOpenDocument(const std::string&) override { return true; }
  void OnFileMoved(const std::string& from, const std::string&, bool) override {
    Heard().push_back("folder gone " + from);
    OnCloseDocument();
  }
  void MarkEntryMoved(const std::string& from, const std::string& to, bool toDeleted) override {
    Heard().push_back("entry moved " + from + " -> " + to + (toDeleted ? " deleted" : ""));
  }
  void MarkEntryOpen(const std::string& path, bool open) override {
    Heard().push_back("entry " + std::string(open ? "open " : "closed ") + path);
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
  std::vector<std::string> FolderPaths() const override { return paths; }
  std::vector<std::string> paths;
};

template <typename Doc>
fw::DocumentKind StandInKind() {
  return {[] { return std::make_unique<Doc>(); }, {}, [] { return new StandInView; }};
}

class FolderOperations : public ::testing::Test {
 protected:
  void SetUp() override {
    Heard().clear();
    ASSERT_TRUE(app_.InitInstance());
    // The tree window of start-up makes way for a stand-in (its close is refused only
    // to the user).
    for (fw::Document* doc : app_.treeTemplate()->documents()) doc->OnCloseDocument();
    app_.messageTemplate()->SetDocumentKind(StandInKind<StandInMessage>());
    app_.folderTemplate()->SetDocumentKind(StandInKind<StandInFolder>());
    app_.treeTemplate()->SetDocumentKind(StandInKind<StandInTree>());
    boxes_ = std::make_unique<MessageBoxRecorder>();
  }
  void TearDown() override {
    boxes_.reset();
    app_.End();
  }

  std::string Mail(const std::string& rest) const { return sandbox_.MailDirectory() + rest; }
  void Message(const std::string& rest) { WriteMessage(Mail(rest), 1700000000); }
  std::vector<std::string> Files(const std::string& folder) const {
    std::vector<std::string> names;
    if (!fs::exists(Mail(folder))) return names;
    for (const auto& e : fs::directory_iterator(Mail(folder))) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  void SetFolderDeletion(bool on) {
    Preferences p = app_.preferences();
    p.folderDeletion = on;
    app_.SetPreferences(p);
  }

  ClientSandbox sandbox_;
  MessageBoxRecorder startBoxes_;
  TestApp app_;
  std::unique_ptr<MessageBoxRecorder> boxes_;
};

TEST_F(FolderOperations, MovingAMessageTellsItsWindowAndItsFolderAndNumbersItInTheTarget) {
  Message("new/msg0001.mai");
  Message("main/msg0001.mai");
  ASSERT_TRUE(app_.OpenMessageWindow(Mail("new/msg0001.mai").c_str()));
  ASSERT_TRUE(app_.OpenFolderWindow(Mail("new/")));

  EXPECT_EQ(app_.MoveMessage(Mail("new/msg0001.mai"), "", false, true), 0);
  EXPECT_EQ(Files("main"), (std::vector<std::string>{"#serial.dat", "msg0001.mai", "msg0002.mai"}));
  EXPECT_EQ(Heard(), (std::vector<std::string>{
                         "message moved " + Mail("new/msg0001.mai") + " -> " + Mail("main/msg0002.mai"),
                         "entry moved " + Mail("new/msg0001.mai") + " -> " + Mail("main/msg0002.mai")}));
  EXPECT_TRUE(app_.messageTemplate()->documents().empty()) << "the message window closed";
  EXPECT_EQ(boxes_->count(), 0u);
}

TEST_F(FolderOperations, AMissingDestinationStopsALoopAndAnyOtherFailureAsksTheUser) {
  Message("main/msg0001.mai");
  const std::string file = Mail("main/msg0001.mai");
  struct Row {
    bool askToContinue;
    int answer;
    int want;
  };
  for (const Row& row : {Row{true, fw::IDOK, fw::IDCANCEL}, Row{false, fw::IDOK, fw::IDOK}}) {
    MessageBoxRecorder boxes(row.answer);
    EXPECT_EQ(app_.MoveMessage(file, "nowhere", false, row.askToContinue), row.want);
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, "Destination folder \"nowhere\" does not exist.");
    EXPECT_EQ(boxes.boxes()[0].style & fw::MB_TYPEMASK, fw::MB_OK) << "OK only, whatever the caller";
  }
  EXPECT_TRUE(fs::exists(file));
  EXPECT_FALSE(fs::exists(Mail("nowhere")));

  // A failed move into "deleted": the button is the result and nothing is notified.
  platform::fault::Scope faults;
  for (const int answer : {fw::IDOK, fw::IDCANCEL}) {
    MessageBoxRecorder boxes(answer);
    platform::fault::FailNth(platform::fault::Op::Move, 1, ERROR_ACCESS_DENIED);
    platform::fault::FailNth(platform::fault::Op::Copy, 1, ERROR_ACCESS_DENIED);
    EXPECT_EQ(app_.DeleteMessage(file, true), answer);
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text.rfind("Move to folder \"deleted\" failed.", 0), 0u) << boxes.boxes()[0].text;
    EXPECT_NE(boxes.boxes()[0].text.find("Access is denied."), std::string::npos) << boxes.boxes()[0].text;
    EXPECT_EQ(boxes.boxes()[0].style & fw::MB_TYPEMASK, fw::MB_OKCANCEL);
  }
  EXPECT_TRUE(fs::exists(file));
  EXPECT_TRUE(Heard().empty());

  // With permission to create, the folder is made.
  EXPECT_EQ(app_.MoveMessage(file, "work/projects", true, false), 0);
  EXPECT_EQ(Files("work/projects"), (std::vector<std::string>{"#serial.dat", "msg0001.mai"}));
}

TEST_F(FolderOperations, DeletingAMessageMovesItIntoDeletedUnderANewName) {
  Message("main/msg0007.mai");
  Message("deleted/msg0001.mai");
  ASSERT_TRUE(app_.OpenFolderWindow(Mail("main")));
  EXPECT_EQ(app_.DeleteMessage(Mail("main/msg0007.mai"), false), 0);
  EXPECT_EQ(Files("deleted"), (std::vector<std::string>{"#serial.dat", "msg0001.mai", "msg0002.mai"}));
  EXPECT_EQ(Heard(), std::vector<std::string>{"entry moved " + Mail("main/msg0007.mai") + " -> " +
                                              Mail("deleted/msg0002.mai") + " deleted"});
}

TEST_F(FolderOperations, AFolderCascadeGoesUpToButNeverIncludesTheStandardFolders) {
  struct Row {
    const char* what;
    bool cascade;
    const char* deepest;
    std::vector<std::string> gone;
    std::vector<std::string> stay;
  };
  const Row rows[] = {
      {"cascade on", true, "a/b/c", {"a/b/c", "a/b", "a"}, {""}},
      {"cascade off", false, "a/b/c", {"a/b/c"}, {"a/b", "a"}},
      {"below main", true, "main/x/y", {"main/x/y", "main/x"}, {"main"}},
      {"below deleted", true, "deleted/x", {"deleted/x"}, {"deleted"}},
  };
  for (const Row& row : rows) {
    Heard().clear();
    SetFolderDeletion(row.cascade);
    fs::create_directories(Mail(row.deepest));
    WriteMessage(Mail(std::string(row.deepest) + "/#serial.dat"), 1700000000);
    EXPECT_EQ(app_.DeleteFolder(Mail(row.deepest), false), 0) << row.what;
    for (const auto& f : row.gone) EXPECT_FALSE(fs::exists(Mail(f))) << row.what << ": " << f;
    for (const auto& f : row.stay) EXPECT_TRUE(fs::exists(Mail(f))) << row.what << ": " << f;
    EXPECT_EQ(Heard().size(), 0u) << row.what << ": no tree window is open";
    fs::remove_all(Mail("a"));
  }
  EXPECT_EQ(boxes_->count(), 0u);
}

TEST_F(FolderOperations, AFolderThatWillNotGoIsReportedAndStays) {
  SetFolderDeletion(true);
  Message("keep/msg0001.mai");
  ASSERT_TRUE(app_.OpenTreeWindow(sandbox_.MailDirectory()));
  {
    MessageBoxRecorder boxes(fw::IDCANCEL);
    EXPECT_EQ(app_.DeleteFolder(Mail("keep"), true), fw::IDCANCEL);
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text.rfind("Directory " + Mail("keep") + " could not be removed.", 0), 0u)
        << boxes.boxes()[0].text;
    EXPECT_EQ(boxes.boxes()[0].style & fw::MB_TYPEMASK, fw::MB_OKCANCEL);
  }
  EXPECT_TRUE(fs::exists(Mail("keep/msg0001.mai")));

  fs::create_directories(Mail("empty"));
  WriteMessage(Mail("empty/#serial.dat"), 1700000000);
  {
    platform::fault::Scope faults;
    platform::fault::FailNth(platform::fault::Op::Delete, 1, ERROR_SHARING_VIOLATION);
    MessageBoxRecorder boxes;
    EXPECT_EQ(app_.DeleteFolder(Mail("empty"), false), fw::IDOK);
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text.rfind("File " + Mail("empty/#serial.dat") + " could not be deleted.", 0), 0u)
        << boxes.boxes()[0].text;
  }
  EXPECT_TRUE(fs::exists(Mail("empty/#serial.dat")));
  EXPECT_TRUE(Heard().empty());

  // Once it can go, the tree hears of it (the path without its final "/").
  EXPECT_EQ(app_.DeleteFolder(Mail("empty/"), false), 0);
  EXPECT_EQ(Heard(), std::vector<std::string>{"tree folder moved " + Mail("empty") + " deleted"});
}

TEST_F(FolderOperations, PurgingGoesOnPastAFileThatWillNotGo) {
  for (const char* name : {"msg0001.mai", "msg0002.mai", "msg0003.mai"}) Message(std::string("deleted/") + name);
  fs::create_directories(Mail("deleted/sub"));
  WriteMessage(Mail("deleted/#serial.dat"), 1700000000);
  ASSERT_TRUE(app_.OpenFolderWindow(Mail("deleted")));
  {
    platform::fault::Scope faults;
    platform::fault::FailNth(platform::fault::Op::Delete, 2, ERROR_SHARING_VIOLATION);
    MessageBoxRecorder boxes;
    app_.PurgeDeleted();
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text.rfind("File " + Mail("deleted/msg0002.mai") + " could not be deleted.", 0), 0u)
        << boxes.boxes()[0].text;
    EXPECT_EQ(boxes.boxes()[0].style & fw::MB_TYPEMASK, fw::MB_OK);
  }
  EXPECT_EQ(Files("deleted"), (std::vector<std::string>{"#serial.dat", "msg0002.mai", "sub"}));
  EXPECT_EQ(Heard(), (std::vector<std::string>{
                         "entry moved " + Mail("deleted/msg0001.mai") + " -> " + Mail("deleted/msg0001.mai") + " deleted",
                         "entry moved " + Mail("deleted/msg0003.mai") + " -> " + Mail("deleted/msg0003.mai") + " deleted"}));
}

TEST_F(FolderOperations, AnOpenWindowIsBroughtForwardNotOpenedTwice) {
  Message("main/msg0001.mai");
  ASSERT_TRUE(app_.OpenFolderWindow(Mail("main/")));
  ASSERT_TRUE(app_.OpenMessageWindow(Mail("main/msg0001.mai").c_str()));
  ASSERT_EQ(app_.folderTemplate()->documents().size(), 1u);
  auto* folderView = static_cast<StandInView*>(app_.folderTemplate()->documents()[0]->views()[0]);
  auto* messageView = static_cast<StandInView*>(app_.messageTemplate()->documents()[0]->views()[0]);

  // Another spelling of the same folder: letter case, a final "/", a "." step.
  EXPECT_TRUE(app_.OpenFolderWindow(sandbox_.MailDirectory() + "./MAIN//"));
  EXPECT_TRUE(app_.OpenMessageWindow(Mail("main/msg0001.mai").c_str()));
  EXPECT_EQ(app_.folderTemplate()->documents().size(), 1u);
  EXPECT_EQ(app_.messageTemplate()->documents().size(), 1u);
  EXPECT_EQ(folderView->refreshes, 1) << "a folder window is refreshed";
  EXPECT_EQ(messageView->refreshes, 0) << "a message window is not";

  EXPECT_EQ(app_.FindOpenDocument(Mail("main")), app_.folderTemplate()->documents()[0]);
  EXPECT_EQ(app_.FindOpenDocument(Mail("other")), nullptr);

  // Closing the message window greys nothing but its open mark.
  app_.NotifyMessageClosed(Mail("main/msg0001.mai"));
  app_.NotifyFolderClosed(Mail("main/"));
  EXPECT_EQ(Heard(), std::vector<std::string>{"entry closed " + Mail("main/msg0001.mai")});
}

TEST(DestinationFolder, NamesNeverClimbAboveTheMailDirectory) {
  const struct {
    const char* typed;
    const char* want;
  } rows[] = {{"work", "work"},
              {"work/projects", "work/projects"},
              {"work\\projects\\", "work/projects"},
              {"../../elsewhere/", "elsewhere"},
              {"..\\..\\elsewhere\\", "elsewhere"},
              {"./a/../b", "b"},
              {"", ""},
              {"..", ""}};
  for (const auto& row : rows) EXPECT_EQ(NormaliseFolderName(row.typed), row.want) << "typed " << row.typed;
}

TEST_F(FolderOperations, TheDialogOffersTheTreesFoldersAndTheLastDestination) {
  ASSERT_TRUE(app_.OpenTreeWindow(sandbox_.MailDirectory()));
  auto* tree = static_cast<StandInTree*>(app_.treeTemplate()->documents()[0]);
  const std::string root = Mail("").substr(0, Mail("").size() - 1);
  tree->paths = {root, root + "/main", root + "/work", root + "/work/projects", root + "/deleted"};

  {
    CDestFolderDlg dlg(app_);
    dlg.OnInitDialog();
    std::vector<std::string> items;
    for (int i = 0; i < dlg.nameBox()->count(); ++i) items.push_back(dlg.nameBox()->itemText(i).toStdString());
    EXPECT_EQ(items, (std::vector<std::string>{"deleted", "main", "work", "work/projects"}));
    EXPECT_EQ(dlg.nameBox()->currentText().toStdString(), "");
    dlg.nameBox()->setEditText("../Archive/2026/");
    dlg.allowCreateBox()->setChecked(true);
    dlg.OnOK();
    EXPECT_EQ(dlg.name, "Archive/2026");
    EXPECT_TRUE(dlg.allowCreate);
  }
  {
    // The next one starts with it, selected, and lists it although the tree does not.
    CDestFolderDlg dlg(app_);
    dlg.OnInitDialog();
    EXPECT_EQ(dlg.nameBox()->currentText().toStdString(), "Archive/2026");
    EXPECT_EQ(dlg.nameBox()->lineEdit()->selectedText().toStdString(), "Archive/2026");
    EXPECT_NE(dlg.nameBox()->findText("Archive/2026"), -1);
    EXPECT_FALSE(dlg.allowCreate) << "the FolderCreation setting, off";
    // An empty name is confirmed but changes nothing.
    dlg.nameBox()->setEditText("");
    dlg.OnOK();
    EXPECT_EQ(dlg.name, "");
    EXPECT_EQ(app_.lastDestination(), "Archive/2026");
  }
  {
    // Listed by the tree in another case: not added twice.
    app_.lastDestination() = "WORK";
    CDestFolderDlg dlg(app_);
    dlg.OnInitDialog();
    EXPECT_EQ(dlg.nameBox()->count(), 4);
  }
}

}  // namespace
}  // namespace pelldesk::test
