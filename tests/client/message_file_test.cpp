// Message files in and out of a window: every byte value through open and Save As,
// files that are binary, empty, without a header section, with NUL bytes or very
// long lines, files that cannot be read, saves that fail half-way, and text the code
// page cannot hold.
#include <sys/stat.h>
#include <unistd.h>

#include "message/message_file.h"
#include "message_test_support.h"
#include "platform/errors.h"
#include "platform/fault.h"

namespace pelldesk::test {
namespace {

using pellam::test::ReadTextFile;

TEST_F(MessageTest, EveryByteValueRoundTripsThroughOpenAndSaveAs) {
  std::string text = "From: NODE::SMITH\r\nSubject: every byte\r\n\r\n";
  for (int i = 1; i < 256; ++i) text += static_cast<char>(i);
  text += "\r\nlone LF\nlone CR\rCR CR LF\r\r\nend";
  const std::string path = WriteMail("main/msg0001.mai", text);
  CMsgDoc* doc = Open(path);
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(ViewOf(doc)->StoredText(), text);
  const std::string copy = sandbox_.Path("home/ann/copy.mai");
  ASSERT_TRUE(doc->DoSave(copy));
  EXPECT_EQ(ReadTextFile(copy), text);
  EXPECT_EQ(doc->pathName(), copy);
  EXPECT_EQ(doc->mode, MsgMode::Read);  // Save As keeps the mode
  EXPECT_EQ(ReadTextFile(path), text);
  EXPECT_EQ(boxes_->count(), 0u);
}

TEST_F(MessageTest, TheSavedCopyOfANewMessageIsNotFiledAtClose) {
  const std::string text = "From: NODE::SMITH\r\n\r\nbody\r\n";
  const std::string path = WriteMail("new/msg0001.mai", text);
  CMsgDoc* doc = Open(path);
  ASSERT_NE(doc, nullptr);
  const std::string copy = sandbox_.Path("home/ann/kept.mai");
  ASSERT_TRUE(doc->DoSave(copy));
  doc->Close();
  // The copy stays where the user saved it; the message itself stays in "new".
  EXPECT_EQ(ReadTextFile(copy), text);
  EXPECT_EQ(Messages("new"), std::vector<std::string>{"msg0001.mai"});
  EXPECT_FALSE(std::filesystem::exists(Mail("main")));
}

constexpr char kWithNuls[] = "From: NODE::SMITH\r\n\r\n\0\0body\0";

TEST_F(MessageTest, OddFilesOpenWithTheirBytesIntact) {
  std::string binary = "\x01\x02\x03\n";  // a first line without a colon
  for (int i = 0; i < 4096; ++i) binary += static_cast<char>((i * 7919 + 13) & 0xFF);
  struct Row {
    const char* name;
    std::string content;
    bool headersRead;
  } rows[] = {
      {"binary", binary, false},
      {"nul bytes", std::string(kWithNuls, sizeof kWithNuls - 1), true},
      {"only nul bytes", std::string(64, '\0'), false},
      {"empty", "", false},
      {"no header section", "Dear John,\r\nno headers at all\r\n", false},
      {"very long line", "From: NODE::SMITH\r\n\r\n" + std::string(300000, 'x') + "\r\n", true},
      {"LF line ends", "From: NODE::SMITH\nSubject: unix\n\nbody\n", true},
  };
  int n = 0;
  for (const Row& row : rows) {
    const std::string path = WriteMail("main/msg00" + std::to_string(10 + n++) + ".mai", row.content);
    const std::size_t boxesBefore = boxes_->count();
    CMsgDoc* doc = Open(path);
    ASSERT_NE(doc, nullptr) << row.name;
    EXPECT_EQ(doc->mode, MsgMode::Read) << row.name;
    EXPECT_EQ(ViewOf(doc)->StoredText(), row.content) << row.name;
    EXPECT_EQ(boxes_->count() - boxesBefore, row.headersRead ? 0u : 1u) << row.name;
    EXPECT_EQ(doc->from.empty(), !row.headersRead) << row.name;
  }
}

TEST_F(MessageTest, AFaultyHeaderSectionSelectsItsLineAndTheWindowStays) {
  const std::string text = "From: NODE::SMITH\r\nDear John, no colon\r\nSubject: x\r\n\r\nbody\r\n";
  CMsgDoc* doc = Open(WriteMail("main/msg0001.mai", text));
  ASSERT_NE(doc, nullptr);
  ASSERT_EQ(boxes_->count(), 1u);
  EXPECT_EQ(boxes_->boxes()[0].text, "Can't extract message headers.\r\n\r\n" + StatusText(ERR_NON_HEADER_LINE));
  EXPECT_EQ(boxes_->boxes()[0].style, fw::MB_ICONEXCLAMATION);
  std::size_t start = 0, end = 0;
  ViewOf(doc)->GetSelection(&start, &end);
  EXPECT_EQ(text.substr(start, end - start), "Dear John, no colon\r\n");
  // All five values are empty: no sender in the title, no Reply.
  EXPECT_EQ(doc->from, "");
  EXPECT_EQ(doc->subject, "");
  EXPECT_EQ(doc->title(), "main #1");
  EXPECT_FALSE(Enabled(doc, kCmdReply));
  EXPECT_TRUE(Enabled(doc, kCmdForward));

  // A header section that never ends: the line where the library stopped.
  const std::string unfinished = "From: NODE::SMITH\r\nSubject: x";
  doc = Open(WriteMail("main/msg0002.mai", unfinished));
  ASSERT_NE(doc, nullptr);
  ViewOf(doc)->GetSelection(&start, &end);
  EXPECT_EQ(unfinished.substr(start, end - start), "Subject: x");
}

TEST_F(MessageTest, AFileThatCannotBeReadOpensNoWindow) {
  platform::fault::Scope faults;
  struct Row {
    const char* name;
    std::function<std::string()> prepare;
    uint32_t status;
  } rows[] = {
      {"missing folder", [this] { return Mail("main/none.mai"); }, ERROR_PATH_NOT_FOUND},
      {"read fails",
       [this] {
         platform::fault::FailNth(platform::fault::Op::Read, 1, ERROR_READ_FAULT);
         return WriteMail("main/msg0001.mai", "From: x\r\n\r\n");
       },
       ERROR_READ_FAULT},
      {"missing file", [this] { return Mail("main/none.mai"); }, ERROR_FILE_NOT_FOUND},
      {"too large",
       [this] {
         const std::string path = WriteMail("main/msg0002.mai", "");
         EXPECT_EQ(::truncate(path.c_str(), static_cast<off_t>(kMaxMessageFileSize + 1)), 0);
         return path;
       },
       ERROR_NOT_ENOUGH_MEMORY},
      {"a folder", [this] { std::filesystem::create_directories(Mail("main/dir.mai")); return Mail("main/dir.mai"); },
       ERROR_ACCESS_DENIED},
  };
  for (const Row& row : rows) {
    const std::string path = row.prepare();
    const std::size_t before = boxes_->count();
    EXPECT_FALSE(app_.OpenMessageWindow(path.c_str())) << row.name;
    EXPECT_TRUE(MessageDocs().empty()) << row.name;
    ASSERT_EQ(boxes_->count(), before + 1) << row.name;
    EXPECT_EQ(boxes_->boxes().back().text,
              "Can't open the message file " + path + ".\r\n\r\n" + StatusText(row.status))
        << row.name;
    platform::fault::Clear();
  }
}

TEST_F(MessageTest, AFailedSaveLeavesTheFileAsItWas) {
  platform::fault::Scope faults;
  const std::string text = "From: NODE::SMITH\r\n\r\noriginal\r\n";
  const std::string path = WriteMail("main/msg0001.mai", text);
  CMsgDoc* doc = Open(path);
  ASSERT_NE(doc, nullptr);
  struct Row {
    platform::fault::Op op;
    uint32_t code;
  } rows[] = {
      {platform::fault::Op::TempName, ERROR_ACCESS_DENIED},
      {platform::fault::Op::Write, ERROR_DISK_FULL},
      {platform::fault::Op::Flush, ERROR_WRITE_FAULT},
      {platform::fault::Op::Copy, ERROR_DISK_FULL},
  };
  for (const Row& row : rows) {
    platform::fault::FailNth(row.op, 1, row.code);
    const std::size_t before = boxes_->count();
    EXPECT_FALSE(doc->DoSave(path)) << static_cast<unsigned>(row.op);
    ASSERT_EQ(boxes_->count(), before + 1);
    EXPECT_EQ(boxes_->boxes().back().text, "Can't save the message to " + path + ".\r\n\r\n" + StatusText(row.code));
    EXPECT_EQ(ReadTextFile(path), text);
    EXPECT_EQ(Files(Mail("main")), std::vector<std::string>{"msg0001.mai"}) << "nothing left behind";
    platform::fault::Clear();
  }
  EXPECT_TRUE(doc->DoSave(path));
  EXPECT_EQ(ReadTextFile(path), text);
}

TEST_F(MessageTest, TextTheCodePageCannotHoldIsRefusedNotChanged) {
  CMsgDoc* doc = Compose();
  ASSERT_NE(doc, nullptr);
  CMsgView* view = ViewOf(doc);
  Type(view, "bob");
  view->moveCursor(QTextCursor::End);
  Type(view, QString("price: 5") + QChar(0x20AC));
  const std::string path = sandbox_.Path("home/ann/draft.mai");
  EXPECT_FALSE(doc->DoSave(path));
  EXPECT_FALSE(std::filesystem::exists(path));
  ASSERT_EQ(boxes_->count(), 1u);
  EXPECT_EQ(boxes_->boxes()[0].text, "The message holds a character that cannot be stored. It has been selected.");
  EXPECT_EQ(view->textCursor().selectedText(), QString(QChar(0x20AC)));
  EXPECT_TRUE(doc->IsModified());

  doc->Post();  // refused the same way, and nothing is sent
  EXPECT_EQ(boxes_->count(), 2u);
  EXPECT_EQ(Files(queue_), std::vector<std::string>{});
  EXPECT_EQ(MessageDocs().size(), 1u);
}

}  // namespace
}  // namespace pelldesk::test
