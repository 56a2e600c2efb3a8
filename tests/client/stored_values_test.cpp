// The client's text forms and path rules, table by table: the "Font" and "Window"
// values, error report texts with their 512-character rule, the new-mail pane text,
// trailing separators, the folder-is-empty test and the version resource.
#include <filesystem>

#include "app/error_report.h"
#include "app/font_value.h"
#include "app/mail_paths.h"
#include "app/number_list.h"
#include "client_test_support.h"
#include "mainframe/main_frame.h"
#include "mainframe/window_placement.h"
#include "pellam.h"
#include "platform/errors.h"
#include "resources/version_resource.h"

namespace pelldesk::test {
namespace {

std::string Describe(const LogFont& f) {
  std::string text;
  FormatFontValue(f, &text);
  return text;
}

TEST(FontValue, ParsesTheStoredFormField_by_field) {
  struct Row {
    const char* value;
    int fields;
    const char* described;  // the record after parsing, in the stored form
  } rows[] = {
      {"-13,0,0,0,400,0,0,0,0,3,2,1,49,Courier New", 14, "-13,0,0,0,400,0,0,0,0,3,2,1,49,Courier New"},
      // Byte fields keep their low 8 bits.
      {"-13,0,0,0,700,257,-1,0,0,3,2,1,305,Mono", 14, "-13,0,0,0,700,1,255,0,0,3,2,1,49,Mono"},
      // The face name ends at the first comma and holds at most 31 characters.
      {"1,2,3,4,5,0,0,0,0,0,0,0,0,Face,extra", 14, "1,2,3,4,5,0,0,0,0,0,0,0,0,Face"},
      {"1,2,3,4,5,0,0,0,0,0,0,0,0,ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789", 14,
       "1,2,3,4,5,0,0,0,0,0,0,0,0,ABCDEFGHIJKLMNOPQRSTUVWXYZ01234"},
      // Fields after the first that fails keep their earlier values (here the record's).
      {"-20,0,x,0,400", 2, "-20,0,0,0,0,0,0,0,0,0,0,0,49,Old"},
      {"garbage", 0, "0,0,0,0,0,0,0,0,0,0,0,0,49,Old"},
      {"-20,0,0,0,400,0,0,0,0,3,2,1,49,", 13, "-20,0,0,0,400,0,0,0,0,3,2,1,49,Old"},
      {" -9, 3,0,0,400,0,0,0,0,3,2,1,34,Sans", 14, "-9,3,0,0,400,0,0,0,0,3,2,1,34,Sans"},
      {"-9 ,3", 1, "-9,0,0,0,0,0,0,0,0,0,0,0,49,Old"},
  };
  for (const Row& row : rows) {
    LogFont f;
    f.pitchAndFamily = 49;
    std::strcpy(f.faceName, "Old");
    int fields = ParseFontValue(row.value, &f);
    EXPECT_EQ(fields, row.fields) << row.value;
    EXPECT_EQ(Describe(f), row.described) << row.value;
  }
}

TEST(FontValue, WritesWhatItReads) {
  LogFont f;
  f.height = -17;
  f.weight = 700;
  f.italic = 1;
  f.outPrecision = 3;
  f.clipPrecision = 2;
  f.quality = 1;
  f.pitchAndFamily = 0x22;
  std::strcpy(f.faceName, "DejaVu Sans");
  std::string text;
  ASSERT_TRUE(FormatFontValue(f, &text));
  EXPECT_EQ(text, "-17,0,0,0,700,1,0,0,0,3,2,1,34,DejaVu Sans");
  LogFont back;
  EXPECT_EQ(ParseFontValue(text.c_str(), &back), 14);
  EXPECT_EQ(back, f);
}

TEST(NumberList, ReadsAsTheStoredFormsNeed) {
  struct Row {
    const char* text;
    int read;
    int32_t first;
    int32_t second;
  } rows[] = {{"10,20", 2, 10, 20},  {"+5,-6", 2, 5, -6}, {"7,,8", 1, 7, 0},
              {"", 0, 0, 0},         {",1", 0, 0, 0},      {"4294967297,3", 2, 1, 3},
              {"2147483648,0", 2, INT32_MIN, 0}, {"-,1", 0, 0, 0}};
  for (const Row& row : rows) {
    int32_t values[2] = {0, 0};
    EXPECT_EQ(ScanNumbers(row.text, values, 2), row.read) << row.text;
    EXPECT_EQ(values[0], row.first) << row.text;
    EXPECT_EQ(values[1], row.second) << row.text;
  }
}

TEST(WindowValue, ParsesFiveNumbersWithMissingOnesZero) {
  struct Row {
    const char* value;
    bool present;
    WindowPlacement placement;
    bool usable;
  } rows[] = {
      {"10,20,810,620,1", true, {10, 20, 810, 620, 1}, true},
      {"10,20,810,620", true, {10, 20, 810, 620, 0}, true},
      {"10,20", true, {10, 20, 0, 0, 0}, false},
      {"junk", true, {0, 0, 0, 0, 0}, false},
      {"500,500,100,100,3", true, {500, 500, 100, 100, 3}, false},
      {"0,0,99999999,10,1", true, {0, 0, 99999999, 10, 1}, false},
      {"", false, {}, false},
  };
  for (const Row& row : rows) {
    std::optional<WindowPlacement> parsed = ParsePlacement(row.value);
    ASSERT_EQ(parsed.has_value(), row.present) << row.value;
    if (!parsed) continue;
    EXPECT_EQ(*parsed, row.placement) << row.value;
    EXPECT_EQ(parsed->HasUsableRect(), row.usable) << row.value;
  }
  EXPECT_EQ(FormatPlacement({-4, 3, 800, 600, 3}), "-4,3,800,600,3");
}

TEST(ErrorReport, FormatsWithinTheReportLimits) {
  const std::string status_text = [] {
    char buffer[512];
    return std::string(GetErrorText(ERROR_ACCESS_DENIED, buffer, sizeof buffer, nullptr));
  }();
  ASSERT_GE(status_text.size(), 2u);
  const std::string status_line = status_text.substr(0, status_text.size() - 2);  // no CR LF
  const std::string long_path(495, 'p');

  struct Row {
    const char* format;
    std::string text;
    uint32_t status;
    std::optional<std::string> wanted;
  } rows[] = {
      {"Mail directory %s cannot be opened.", "/home/ann/mail/", 0,
       "Mail directory /home/ann/mail/ cannot be opened."},
      {"Can't fetch your Pellam user profile.", "<unknown>", ERROR_ACCESS_DENIED,
       "Can't fetch your Pellam user profile.\r\n\r\n" + status_line},
      {"100%% sure: %s", "yes", 0, "100% sure: yes"},
      {"CDirDoc::OnNewDocument()\r\nYou can't get here!", "<unknown>", 0,
       "CDirDoc::OnNewDocument()\r\nYou can't get here!"},
      {"trailing breaks\r\n\r\n", "", 0, "trailing breaks"},
      // Exactly 504 characters is allowed, one more is not.
      {"%s", std::string(504, 'x'), 0, std::string(504, 'x')},
      {"%s", std::string(505, 'x'), 0, std::nullopt},
      {"Mail file %s cannot be opened.", long_path, 0, std::nullopt},
      {"", "", 0, std::nullopt},
      {"%s", "", 0, std::nullopt},
      {"%d files", "", 0, std::nullopt},
      {"%s and %s", "a", 0, std::nullopt},
      {"ends in %", "", 0, std::nullopt},
  };
  for (const Row& row : rows) {
    std::optional<std::string> got = FormatErrorReport(row.format, row.text.c_str(), row.status);
    EXPECT_EQ(got.has_value(), row.wanted.has_value()) << row.format;
    if (got && row.wanted) {
      EXPECT_EQ(*got, *row.wanted) << row.format;
    }
  }

  // A status text is cut to what is left of the 512 characters.
  std::optional<std::string> full = FormatErrorReport("%s", std::string(500, 'y').c_str(), ERROR_ACCESS_DENIED);
  ASSERT_TRUE(full);
  EXPECT_LE(full->size(), 511u);
  EXPECT_EQ(full->substr(0, 504), std::string(500, 'y') + "\r\n\r\n");
}

TEST(NewMailPane, SingularForOneMessageOnly) {
  struct Row {
    int count;
    const char* text;
  } rows[] = {{0, " 0 new messages waiting "},  {1, " 1 new message waiting "},
              {2, " 2 new messages waiting "},  {9999, " 9999 new messages waiting "},
              {-1, " -1 new messages waiting "}};
  for (const Row& row : rows) EXPECT_EQ(NewMailPaneText(row.count), row.text) << row.count;
}

TEST(MailPaths, TrailingSeparatorsGo) {
  struct Row {
    std::string path;
    bool ok;
    std::string result;
  } rows[] = {{"/home/ann/mail/", true, "/home/ann/mail"},
              {"/home/ann/mail\\//", true, "/home/ann/mail"},
              {"/home/ann/mail", true, "/home/ann/mail"},
              {"", true, ""},
              {std::string(259, 'a'), true, std::string(259, 'a')},
              {std::string(260, 'a'), false, ""}};
  for (const Row& row : rows) {
    std::string result = "before";
    EXPECT_EQ(TrimPathSeparators(row.path, &result), row.ok) << row.path;
    EXPECT_EQ(result, row.result) << row.path;
  }
}

TEST(MailPaths, AFolderWithMessagesOrSubFoldersIsNotEmpty) {
  ClientSandbox sandbox;
  namespace fs = std::filesystem;
  const std::string base = sandbox.Path("folders/");
  struct Row {
    const char* folder;
    std::vector<const char*> files;
    std::vector<const char*> dirs;
    bool empty;
  } rows[] = {
      {"none", {}, {}, true},
      {"message", {"msg0001.mai"}, {}, false},
      {"upper", {"MSG0002.MAI"}, {}, false},
      {"others", {"#serial.dat", "notes.txt"}, {}, true},
      {"sub", {}, {"work"}, false},
      {"dotted", {}, {"old.mail", ".hidden"}, true},
  };
  for (const Row& row : rows) {
    const std::string dir = base + row.folder + "/";
    fs::create_directories(dir);
    for (const char* f : row.files) pellam::test::WriteTextFile(dir + f, "x");
    for (const char* d : row.dirs) fs::create_directories(dir + d);
    EXPECT_EQ(IsFolderEmpty(dir), row.empty) << row.folder;
  }
  EXPECT_TRUE(IsFolderEmpty(base + "missing/")) << "a folder that cannot be searched";
  EXPECT_FALSE(IsFolderEmpty(base + "message")) << "the final separator may be left out";
}

TEST(VersionResource, HoldsTheFileVersion) {
  EXPECT_STREQ(QueryVersionValue("\\StringFileInfo\\040904b0\\FileVersion"), "X0.99");
  EXPECT_STREQ(QueryVersionValue("\\stringfileinfo\\040904B0\\fileversion"), "X0.99");
  EXPECT_EQ(QueryVersionValue("\\StringFileInfo\\040704b0\\FileVersion"), nullptr);
  EXPECT_EQ(QueryVersionValue(nullptr), nullptr);
}

}  // namespace
}  // namespace pelldesk::test
