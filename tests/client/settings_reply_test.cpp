// The Auto reply page in a sandbox: stored values shown and rewritten, the sender log
// marked, deleted, kept on Cancel and its failures, and the Edit button: the reply file
// made once, one editor per press in the mail directory, and editors that cannot start.
#include <sys/stat.h>

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QPushButton>

#include <cstdlib>
#include <filesystem>

#include "platform/errors.h"
#include "platform/fault.h"
#include "platform/registry.h"
#include "settings/reply_page.h"
#include "settings_test_support.h"

namespace pelldesk::test {
namespace {

namespace fs = std::filesystem;

class ReplyPage : public SettingsFixture {
 protected:
  void SetUp() override {
    SettingsFixture::SetUp();
    ASSERT_EQ(GetMailProfile(&record_, sizeof record_), 0u);
    log_ = sandbox_.MailDirectory() + "autorep.log";
    text_ = sandbox_.MailDirectory() + "autorep.txt";
  }

  // An editor that notes its current directory and its argument, one line per start.
  std::string WriteEditor(const std::string& name) {
    const std::string path = sandbox_.Path("bin/" + name);
    pellam::test::WriteTextFile(path, "#!/bin/sh\necho \"$(pwd) $1\" >> " + sandbox_.Path("editor.log") + "\n");
    ::chmod(path.c_str(), 0755);
    return path;
  }
  std::string EditorLog() { return pellam::test::ReadTextFile(sandbox_.Path("editor.log")); }

  MailProfile record_{};
  std::string log_;
  std::string text_;
};

// The AutoReply value as stored, written by hand where a test needs it.
uint32_t StoredAutoReply() {
  platform::HKEY key = nullptr;
  uint32_t value = 0xFFFFFFFF;
  if (platform::RegOpenKeyEx(platform::HKEY_CURRENT_USER, PELLAM_PARAMETERS_KEY,
                             platform::KEY_QUERY_VALUE, &key) == 0) {
    uint32_t size = sizeof value;
    platform::RegQueryValueEx(key, "AutoReply", nullptr, reinterpret_cast<uint8_t*>(&value), &size);
    platform::RegCloseKey(key);
  }
  return value;
}

void StoreAutoReplyByHand(uint32_t value) {
  platform::HKEY key = nullptr;
  ASSERT_EQ(platform::RegCreateKeyEx(platform::HKEY_CURRENT_USER, PELLAM_PARAMETERS_KEY, &key), 0u);
  ASSERT_EQ(platform::RegSetValueEx(key, "AutoReply", platform::REG_DWORD,
                                    reinterpret_cast<const uint8_t*>(&value), sizeof value),
            0u);
  platform::RegCloseKey(key);
}

TEST_F(ReplyPage, TheStoredValueChoosesTheReplyTypeAndApplyMapsItBack) {
  struct Row {
    int32_t stored;
    int shown;      // the checked button
    int chosen;     // the button then clicked, -1 for none
    int32_t delta;  // AutoReply in the record of changes
  } rows[] = {
      {0, 0, -1, -1}, {1, 1, -1, -1}, {3, 2, -1, -1}, {2, 2, -1, 3},
      {1, 1, 2, 3},   {1, 1, 0, 0},   {0, 0, 1, 1},   {3, 2, 2, -1},
  };
  for (const Row& row : rows) {
    MailProfile record{};
    record.AutoReply = row.stored;
    CReplyPage page(app_, record);
    page.OnInitDialog();
    EXPECT_EQ(page.typeGroup()->checkedId(), row.shown) << "stored " << row.stored;
    if (row.chosen >= 0) page.typeGroup()->button(row.chosen)->click();
    ASSERT_TRUE(page.OnKillActive());  // as OK does: "Not enabled" is read only then
    EXPECT_EQ(page.ApplyChanges(), row.delta != -1) << "stored " << row.stored << ", chose " << row.chosen;
    EXPECT_EQ(record.AutoReply, row.delta) << "stored " << row.stored << ", chose " << row.chosen;
  }
}

TEST_F(ReplyPage, AHandWrittenTwoIsRewrittenAsThreeWhenTheSheetIsConfirmedUntouched) {
  StoreAutoReplyByHand(2);
  ASSERT_TRUE(RunSettingsSheet(app_, [](fw::PropertySheet&) {}));
  EXPECT_EQ(StoredAutoReply(), 3u);
  EXPECT_EQ(boxes_.count(), 0u);

  // Stored as 3 now, the next untouched sheet writes nothing at all.
  platform::fault::Scope faults;
  ASSERT_TRUE(RunSettingsSheet(app_, [](fw::PropertySheet&) {}));
  EXPECT_EQ(platform::fault::Calls(platform::fault::Op::RegWrite), 0u);
}

TEST_F(ReplyPage, ChoosingAReplyTypeMarksTheLogEvenWhileThereIsNone) {
  CReplyPage page(app_, record_);
  page.OnInitDialog();
  EXPECT_FALSE(page.logExists);
  EXPECT_FALSE(page.deleteLogBox()->isEnabled());
  page.typeGroup()->button(0)->click();
  EXPECT_FALSE(page.deleteLogBox()->isChecked()) << "Not enabled marks nothing";
  page.typeGroup()->button(1)->click();
  EXPECT_TRUE(page.deleteLogBox()->isChecked());
  EXPECT_FALSE(page.deleteLogBox()->isEnabled());
  platform::fault::Scope faults;
  EXPECT_TRUE(page.ApplyChanges());
  EXPECT_EQ(platform::fault::Calls(platform::fault::Op::Delete), 0u) << "no log, nothing deleted";
  EXPECT_EQ(boxes_.count(), 0u);
}

TEST_F(ReplyPage, AMarkedLogIsDeletedOnApplyAndItsFailuresReported) {
  struct Row {
    uint32_t failure;  // of the deletion; 0 for none
    bool reported;
    bool logStays;
  } rows[] = {{0, false, false}, {ERROR_FILE_NOT_FOUND, false, true}, {ERROR_ACCESS_DENIED, true, true}};
  for (const Row& row : rows) {
    pellam::test::WriteTextFile(log_, "NODE::SMITH\r\n");
    MailProfile record = record_;
    CReplyPage page(app_, record);
    page.OnInitDialog();
    ASSERT_TRUE(page.logExists);
    EXPECT_TRUE(page.deleteLogBox()->isEnabled());
    page.typeGroup()->button(2)->click();
    platform::fault::Scope faults;
    if (row.failure != 0) platform::fault::FailNth(platform::fault::Op::Delete, 1, row.failure);
    const std::size_t before = boxes_.count();
    EXPECT_TRUE(page.ApplyChanges()) << "the reply type changed";
    EXPECT_EQ(boxes_.count() - before, row.reported ? 1u : 0u) << "failure " << row.failure;
    if (row.reported) {
      EXPECT_EQ(boxes_.boxes().back().text,
                "File " + log_ + " cannot be deleted.\r\n\r\n" + StatusText(row.failure));
      EXPECT_EQ(boxes_.boxes().back().style, fw::MB_ICONEXCLAMATION);
    }
    EXPECT_EQ(page.logExists, row.reported) << "failure " << row.failure;
    EXPECT_EQ(fs::exists(log_), row.logStays) << "failure " << row.failure;
  }
}

TEST_F(ReplyPage, CancellingTheSheetLeavesTheMarkedLogInPlace) {
  pellam::test::WriteTextFile(log_, "NODE::SMITH\r\n");
  EXPECT_FALSE(RunSettingsSheet(app_, [](fw::PropertySheet& sheet) {
    ShowPage(sheet, 4);
    FindPage<CReplyPage>(sheet)->deleteLogBox()->click();
  }, false));
  EXPECT_TRUE(fs::exists(log_));
}

TEST_F(ReplyPage, EditMakesTheReplyFileOnceAndStartsAnEditorEachTime) {
  WriteEditor("pellam-test-editor");
  const std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
  ::setenv("PATH", (sandbox_.Path("bin") + ":" + path).c_str(), 1);
  CReplyPage page(app_, record_);
  page.editorProgram = "pellam-test-editor";  // found through the search path
  page.OnInitDialog();
  ASSERT_TRUE(page.editButton()->isEnabled());
  page.editButton()->click();
  ::setenv("PATH", path.c_str(), 1);
  std::string directory = sandbox_.MailDirectory();
  directory.pop_back();
  const std::string line = directory + " " + text_ + "\n";
  ASSERT_TRUE(WaitUntil([&] { return EditorLog() == line; })) << EditorLog();
  EXPECT_TRUE(fs::exists(text_));
  EXPECT_EQ(fs::file_size(text_), 0u);

  pellam::test::WriteTextFile(text_, "Away until Monday.\r\n");
  page.editorProgram = WriteEditor("pellam-test-editor");
  page.editButton()->click();
  EXPECT_TRUE(WaitUntil([&] { return EditorLog() == line + line; })) << EditorLog();
  EXPECT_EQ(pellam::test::ReadTextFile(text_), "Away until Monday.\r\n") << "an existing file is kept";
  EXPECT_EQ(boxes_.count(), 0u);
}

TEST_F(ReplyPage, AnEditorThatCannotStartIsReportedWithItsStatus) {
  const std::string notRunnable = sandbox_.Path("bin/plain-file");
  pellam::test::WriteTextFile(notRunnable, "not a program\n");
  ::chmod(notRunnable.c_str(), 0644);
  struct Row {
    std::string program;
    uint32_t status;
  } rows[] = {{"pellam-no-such-editor", ERROR_FILE_NOT_FOUND}, {notRunnable, ERROR_ACCESS_DENIED}};
  for (const Row& row : rows) {
    CReplyPage page(app_, record_);
    page.editorProgram = row.program;
    page.OnInitDialog();
    page.editorFallbacks.clear();  // what this machine has would open the file instead
    const std::size_t before = boxes_.count();
    page.editButton()->click();
    ASSERT_EQ(boxes_.count(), before + 1) << row.program;
    EXPECT_EQ(boxes_.boxes().back().text, "Cannot start Notepad.\r\n\r\n" + StatusText(row.status))
        << row.program;
    EXPECT_EQ(boxes_.boxes().back().style, fw::MB_ICONEXCLAMATION);
  }
}

TEST_F(ReplyPage, ADesktopWithoutAHandlerFallsBackOrSaysTheEditorDidNotStart) {
  // As xdg-open answers when nothing on the desktop opens text files.
  const std::string refusing = sandbox_.Path("bin/no-handler");
  pellam::test::WriteTextFile(refusing, "#!/bin/sh\nexit 3\n");
  ::chmod(refusing.c_str(), 0755);
  CReplyPage page(app_, record_);
  page.editorProgram = refusing;
  page.OnInitDialog();
  page.editorFallbacks = {{sandbox_.Path("bin/none-here"), text_}, {WriteEditor("plain-editor"), text_}};
  page.editButton()->click();
  EXPECT_TRUE(WaitUntil([&] { return EditorLog().find(text_) != std::string::npos; })) << "the plain editor ran";
  EXPECT_EQ(boxes_.count(), 0u);

  page.editorFallbacks = {{sandbox_.Path("bin/none-here"), text_}};
  page.editButton()->click();
  ASSERT_EQ(boxes_.count(), 1u) << "nothing could open the file: said, not silent";
  EXPECT_EQ(boxes_.boxes().back().text, "Cannot start Notepad.\r\n\r\n" + StatusText(ERROR_NOT_SUPPORTED));
}

TEST(TextEditor, FallbacksAreTheUsersEditorInATerminalThenPlainEditors) {
  const char* visual = std::getenv("VISUAL");
  const std::string saved = visual != nullptr ? visual : "";
  ::setenv("VISUAL", "vi -n", 1);
  const auto commands = FallbackEditors("/m/autorep.txt");
  ASSERT_GE(commands.size(), 3u);
  EXPECT_EQ(commands[0], (std::vector<std::string>{"x-terminal-emulator", "-e", "vi", "-n", "/m/autorep.txt"}));
  EXPECT_EQ(commands[1], (std::vector<std::string>{"xterm", "-e", "vi", "-n", "/m/autorep.txt"}));
  EXPECT_EQ(commands.back().back(), "/m/autorep.txt");
  ::setenv("VISUAL", "", 1);
  const char* editor = std::getenv("EDITOR");
  const std::string savedEditor = editor != nullptr ? editor : "";
  ::unsetenv("EDITOR");
  EXPECT_EQ(FallbackEditors("/f").front(), (std::vector<std::string>{"mousepad", "/f"}))
      << "no editor of the user's: no terminal";
  if (visual != nullptr) {
    ::setenv("VISUAL", saved.c_str(), 1);
  } else {
    ::unsetenv("VISUAL");
  }
  if (editor != nullptr) ::setenv("EDITOR", savedEditor.c_str(), 1);
}

TEST_F(ReplyPage, AReplyFileThatCannotBeMadeStillOpensTheEditor) {
  CReplyPage page(app_, record_);
  page.editorProgram = WriteEditor("editor");
  page.OnInitDialog();
  platform::fault::Scope faults;
  platform::fault::FailNth(platform::fault::Op::Open, 1, ERROR_ACCESS_DENIED);
  page.editButton()->click();
  EXPECT_EQ(platform::fault::Calls(platform::fault::Op::Open), 1u);
  EXPECT_TRUE(WaitUntil([&] { return !EditorLog().empty(); })) << "the editor says what it can";
  EXPECT_FALSE(fs::exists(text_));
  EXPECT_EQ(boxes_.count(), 0u);
}

TEST_F(ReplyPage, WithoutAMailDirectoryBothButtonsAreOffButTheTypeCanBeSet) {
  MailProfile record{};
  CReplyPage page(app_, record);
  page.OnInitDialog();
  EXPECT_FALSE(page.editButton()->isEnabled());
  EXPECT_FALSE(page.deleteLogBox()->isEnabled());
  EXPECT_EQ(page.textPath, "");
  page.typeGroup()->button(1)->click();
  EXPECT_TRUE(page.ApplyChanges());
  EXPECT_EQ(record.AutoReply, 1);
}

}  // namespace
}  // namespace pelldesk::test
