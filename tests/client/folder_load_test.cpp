// Loading a folder window: the number in each file's name, the three headers read from
// the first bytes of each file only, and every row of the folder's failure table: a
// path that cannot be parsed, a search that fails, files that cannot be opened, read or
// parsed, and a file that vanishes between the listing and its read. A bad file never
// stops the listing of the others.
#include <cstdio>
#include <filesystem>

#include "folder/message_entry.h"
#include "framework/doc_template.h"
#include "framework/message_box.h"
#include "folder_test_support.h"
#include "pellam.h"
#include "platform/errors.h"
#include "platform/fault.h"

namespace pelldesk::test {
namespace {

namespace fs = std::filesystem;
using platform::fault::Op;

TEST(MessageNumber, FromTheDigitsAfterTheLeadingNonDigits) {
  const struct {
    const char* name;
    int32_t number;
  } rows[] = {
      {"msg0012.mai", 12},   {"msg0000.mai", 0},       {"msg.mai", -1},
      {"0012.mai", -1},      {"a7b8.mai", 7},          {"msg-5.mai", 5},
      {"", -1},              {"msg2147483647.mai", 2147483647},
      {"msg2147483648.mai", -1},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(MessageNumberOf(row.name), row.number) << row.name;
  }
}

bool SameDate(const MailDate& a, const MailDate& b) {
  return a.Year == b.Year && a.Month == b.Month && a.DayOfWeek == b.DayOfWeek && a.Day == b.Day &&
         a.Hour == b.Hour && a.Minute == b.Minute && a.Second == b.Second && a.Milliseconds == b.Milliseconds;
}

std::string DateText(const MailDate& d) {
  char text[64];
  std::snprintf(text, sizeof text, "%u-%u-%u(%u) %u:%u:%u.%u", d.Year, d.Month, d.Day, d.DayOfWeek, d.Hour, d.Minute,
                d.Second, d.Milliseconds);
  return text;
}

constexpr MailDate kNoDate{};
constexpr MailDate kJan12{1995, 1, 1, 12, 10, 20, 30, 0};

using FolderLoad = FolderTest;

TEST_F(FolderLoad, HeadersOfEachFileAsTheListShowsThem) {
  const std::string pad = "X-Pad: " + std::string(1000, 'p') + "\r\n";
  const struct {
    const char* what;
    std::string content;
    const char* from;
    const char* subject;
    MailDate received;
    uint32_t status;  // of the "can't extract" box, 0 for none
  } rows[] = {
      {"all three", MessageText("NODEA::NODEB::SMITH (John Smith)", "hello"), "NODEB::SMITH", "hello", kJan12, 0},
      {"no From", MessageText("", "hello"), "--unknown--", "hello", kJan12, 0},
      {"no Subject", MessageText("SMITH", ""), "SMITH", "", kJan12, 0},
      {"no Received", MessageText("SMITH", "s", ""), "SMITH", "s", kNoDate, 0},
      {"Received without a date", MessageText("SMITH", "s", "by NODEA"), "SMITH", "s", kNoDate, 0},
      {"From that is no address", MessageText("\"open quote", "s"), "\"open quote", "s", kJan12, 0},
      {"headers over several chunks", pad + pad + MessageText("JONES", "late"), "JONES", "late", kJan12, 0},
      {"empty file", "", "--unknown--", "", kNoDate, ERROR_MORE_DATA},
      {"binary", std::string("\x01\x02\xff\x00\x7f\n\x03:\n", 9), "--unknown--", "", kNoDate,
       ERR_NON_HEADER_LINE},
      {"truncated header section", "From: SMITH\r\nSubject: cut off", "--unknown--", "", kNoDate, ERROR_MORE_DATA},
  };
  int index = 0;
  for (const auto& row : rows) {
    char name[32];
    std::snprintf(name, sizeof name, "msg%04d.mai", ++index);
    Write(std::string("load/") + name, row.content);
  }
  CDirDoc* doc = Open("load");
  ASSERT_NE(doc, nullptr);
  ASSERT_EQ(doc->count(), index);

  std::vector<std::string> expectedBoxes;
  for (int i = 0; i < index; ++i) {
    const auto& row = rows[i];
    const MessageEntry& entry = doc->GetEntry(i);
    EXPECT_EQ(entry.number, i + 1) << row.what;
    EXPECT_EQ(entry.from, row.from) << row.what;
    EXPECT_EQ(entry.subject, row.subject) << row.what;
    EXPECT_TRUE(SameDate(entry.received, row.received))
        << row.what << ": got " << DateText(entry.received) << ", want " << DateText(row.received);
    EXPECT_EQ(entry.state, kEntryListed) << row.what;
    if (row.status != 0) {
      expectedBoxes.push_back(Report("%s - can't extract message headers.", entry.fileName, row.status));
    }
  }
  EXPECT_EQ(BoxTexts(), expectedBoxes);
}

TEST_F(FolderLoad, ReadsOnlyTheHeaderSectionInChunksOfAtMost512Bytes) {
  const struct {
    const char* what;
    std::string content;
    unsigned reads;
    bool complete;
  } rows[] = {
      {"short headers, long body", MessageText("SMITH", "s") + std::string(1 << 20, 'b'), 1, true},
      {"headers ending in the third chunk", "Subject: " + std::string(1100, 's') + "\r\n\r\nbody", 3, true},
      // 65535 bytes are 128 chunks, the last of 511 bytes; nothing after them is read.
      {"no end within 65535 bytes", "Subject: " + std::string(100000, 's'), 128, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    fs::remove_all(Mail("chunks"));
    Write("chunks/msg0001.mai", row.content);
    const std::size_t boxesBefore = boxes_->count();
    platform::fault::Scope faults;
    CDirDoc* doc = Open("chunks");
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(platform::fault::Calls(Op::Read), row.reads);
    EXPECT_EQ(boxes_->count() - boxesBefore, row.complete ? 0u : 1u);
    doc->OnCloseDocument();
  }
}

TEST_F(FolderLoad, AFolderWithoutMessagesOpensEmptyAndSilently) {
  MakeFolder("quiet");
  Write("quiet/#serial.dat", "7\r\n");
  Write("quiet/notes.txt", "not a message");
  CDirDoc* doc = Open("quiet");
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(doc->count(), 0);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{});
  EXPECT_EQ(doc->folderPath(), Mail("quiet/"));
  EXPECT_EQ(doc->pathName(), Mail("quiet"));
  EXPECT_EQ(doc->title(), "quiet");
}

TEST_F(FolderLoad, OutOfRangeEntriesAreEmpty) {
  Write("range/msg0001.mai", MessageText("SMITH", "s"));
  CDirDoc* doc = Open("range");
  ASSERT_NE(doc, nullptr);
  for (int index : {-1, 1, 1000}) {
    const MessageEntry& entry = doc->GetEntry(index);
    EXPECT_EQ(entry.number, -1) << index;
    EXPECT_EQ(entry.from, "") << index;
    EXPECT_EQ(entry.subject, "") << index;
    EXPECT_TRUE(SameDate(entry.received, kNoDate)) << index;
    EXPECT_EQ(entry.state, kEntryUnknown) << index;
    std::string path = "stale";
    EXPECT_EQ(doc->GetEntryPath(index, &path), kEntryUnknown) << index;
    EXPECT_EQ(path, "") << index;
  }
  std::string path;
  EXPECT_EQ(doc->GetEntryPath(0, &path), kEntryListed);
  EXPECT_EQ(path, Mail("range/msg0001.mai"));
}

TEST_F(FolderLoad, KindOfTheStandardFolders) {
  const struct {
    const char* folder;
    FolderKind kind;
  } rows[] = {{"main", FolderKind::Main}, {"new", FolderKind::New}, {"deleted", FolderKind::Deleted},
              {"work", FolderKind::Other}, {"work/main", FolderKind::Other}};
  for (const auto& row : rows) {
    MakeFolder(row.folder);
    CDirDoc* doc = Open(row.folder);
    ASSERT_NE(doc, nullptr) << row.folder;
    EXPECT_EQ(doc->kind(), row.kind) << row.folder;
  }
}

TEST_F(FolderLoad, PathsThatCannotBeParsedOpenNothing) {
  const std::string tooLong = "/" + std::string(300, 'a');
  const struct {
    const char* what;
    std::string path;
    uint32_t status;
  } rows[] = {
      {"empty", "", ERROR_INVALID_PARAMETER},
      {"ends in a separator", Mail("work/"), 0},
      {"longer than a path may be", tooLong, ERROR_BUFFER_OVERFLOW},
  };
  for (const auto& row : rows) {
    boxes_.reset();  // first, so that the new recorder is the one answering
    boxes_ = std::make_unique<MessageBoxRecorder>();
    EXPECT_EQ(app_.folderTemplate()->OpenDocumentFile(row.path.c_str(), true), nullptr) << row.what;
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{Report("Path name %s cannot be parsed.", row.path, row.status)})
        << row.what;
    EXPECT_TRUE(app_.folderTemplate()->documents().empty()) << row.what;
  }
}

TEST_F(FolderLoad, ASearchThatFailsOpensNothing) {
  // A folder that does not exist, and one whose directory cannot be read.
  EXPECT_EQ(Open("absent"), nullptr);
  Write("locked/msg0001.mai", MessageText("SMITH", "s"));
  {
    platform::fault::Scope faults;
    platform::fault::FailNth(Op::Open, 1, ERROR_ACCESS_DENIED);
    EXPECT_EQ(Open("locked"), nullptr);
  }
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{
                            Report("Search for %s failed.", Mail("absent/*.mai"), ERROR_PATH_NOT_FOUND),
                            Report("Search for %s failed.", Mail("locked/*.mai"), ERROR_ACCESS_DENIED),
                        }));
  EXPECT_TRUE(app_.folderTemplate()->documents().empty());
}

TEST_F(FolderLoad, ARefreshWhoseSearchFailsKeepsTheWindowAndItsPath) {
  Write("work/msg0001.mai", MessageText("SMITH", "one"));
  Write("work/msg0002.mai", MessageText("JONES", "two"));
  CDirDoc* doc = Open("work");
  ASSERT_NE(doc, nullptr);
  ASSERT_EQ(doc->count(), 2);
  {
    platform::fault::Scope faults;
    platform::fault::FailNth(Op::Open, 1, ERROR_ACCESS_DENIED);
    doc->Refresh();
  }
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{Report("Search for %s failed.", Mail("work/*.mai"), ERROR_ACCESS_DENIED)});
  ASSERT_TRUE(IsOpen("work"));
  EXPECT_EQ(doc->folderPath(), Mail("work/"));
  EXPECT_EQ(doc->count(), 0);  // nothing was listed before the search failed
  doc->Refresh();
  EXPECT_EQ(doc->count(), 2);
}

TEST_F(FolderLoad, BadFilesAreListedAndNeverStopTheRest) {
  Write("mixed/msg0001.mai", MessageText("SMITH", "first"));
  Write("mixed/msg0002.mai", "");
  Write("mixed/msg0003.mai", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
  MakeFolder("mixed/msg0004.mai");  // a directory, which cannot be opened as a file
  Write("mixed/msg0005.mai", "From: SMITH");
  Write("mixed/msg0006.mai", MessageText("JONES", "last"));
  CDirDoc* doc = Open("mixed");
  ASSERT_NE(doc, nullptr);
  const struct {
    const char* from;
    const char* subject;
  } want[] = {{"SMITH", "first"}, {"--unknown--", ""},      {"--unknown--", ""},
              {"?ERROR?", "?ERROR?"}, {"--unknown--", ""}, {"JONES", "last"}};
  ASSERT_EQ(doc->count(), 6);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(doc->GetEntry(i).from, want[i].from) << i;
    EXPECT_EQ(doc->GetEntry(i).subject, want[i].subject) << i;
    EXPECT_EQ(doc->GetEntry(i).state, kEntryListed) << i;
  }
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{
                            Report("%s - can't extract message headers.", "msg0002.mai", ERROR_MORE_DATA),
                            Report("%s - can't extract message headers.", "msg0003.mai", ERR_NON_HEADER_LINE),
                            Report("Mail file %s cannot be opened.", "msg0004.mai", ERROR_ACCESS_DENIED),
                            Report("%s - can't extract message headers.", "msg0005.mai", ERROR_MORE_DATA),
                        }));
}

TEST_F(FolderLoad, FilesThatCannotBeOpenedOrReadKeepTheirLines) {
  Write("faulty/msg0001.mai", MessageText("SMITH", "locked"));
  Write("faulty/msg0002.mai", MessageText("JONES", "unreadable"));
  Write("faulty/msg0003.mai", MessageText("BROWN", "fine"));
  {
    platform::fault::Scope faults;
    // Another program holds the first file; the read of the second brings nothing.
    platform::fault::FailNth(Op::Lock, 1, ERROR_SHARING_VIOLATION);
    platform::fault::FailNth(Op::Read, 1, ERROR_READ_FAULT);
    ASSERT_NE(Open("faulty"), nullptr);
  }
  CDirDoc* doc = dynamic_cast<CDirDoc*>(app_.FindOpenDocument(Mail("faulty")));
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(doc->GetEntry(0).from, "?ERROR?");
  EXPECT_EQ(doc->GetEntry(1).from, "--unknown--");
  EXPECT_EQ(doc->GetEntry(2).from, "BROWN");
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{
                            Report("Mail file %s cannot be opened.", "msg0001.mai", ERROR_SHARING_VIOLATION),
                            Report("File %s cannot be read.", "msg0002.mai"),
                            Report("%s - can't extract message headers.", "msg0002.mai", ERROR_MORE_DATA),
                        }));
}

TEST_F(FolderLoad, AFileThatVanishesBeforeItsReadIsReportedAndPassedOver) {
  Write("moving/msg0001.mai", "");
  Write("moving/msg0002.mai", MessageText("SMITH", "gone"));
  Write("moving/msg0003.mai", MessageText("JONES", "stays"));
  // While the first file's box is up, another program takes the second file away.
  std::vector<std::string> texts;
  const std::string vanishing = Mail("moving/msg0002.mai");
  fw::MessageBoxFunction previous = fw::SetMessageBoxFunction([&](const std::string& text, unsigned) {
    texts.push_back(text);
    fs::remove(vanishing);
    return fw::IDOK;
  });
  CDirDoc* doc = Open("moving");
  fw::SetMessageBoxFunction(std::move(previous));
  ASSERT_NE(doc, nullptr);
  ASSERT_EQ(doc->count(), 3);
  EXPECT_EQ(doc->GetEntry(1).from, "?ERROR?");
  EXPECT_EQ(doc->GetEntry(2).from, "JONES");
  EXPECT_EQ(texts, (std::vector<std::string>{
                       Report("%s - can't extract message headers.", "msg0001.mai", ERROR_MORE_DATA),
                       Report("Mail file %s cannot be opened.", "msg0002.mai", ERROR_FILE_NOT_FOUND),
                   }));
}

TEST_F(FolderLoad, ANewDocumentWithoutAPathIsRefused) {
  EXPECT_EQ(app_.folderTemplate()->OpenDocumentFile(nullptr, true), nullptr);
  EXPECT_EQ(BoxTexts(),
            std::vector<std::string>{Report("CDirDoc::OnNewDocument()\r\nYou can't get here!", "<unknown>", 16)});
  EXPECT_TRUE(app_.folderTemplate()->documents().empty());
}

}  // namespace
}  // namespace pelldesk::test
