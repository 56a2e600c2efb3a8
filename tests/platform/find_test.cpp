// Directory search: the patterns the mail system uses, letter case, order, the end
// codes 2, 3 and 18, and failures.
#include "platform/find.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "needs_root.h"
#include "platform/errors.h"
#include "platform/fault.h"
#include "platform/files.h"
#include "sandbox.h"

namespace {

using pellam::test::Sandbox;
using pellam::test::WriteTextFile;

// Every name the search gives, or "<code>" when it does not start.
std::vector<std::string> Search(const std::string& pattern) {
  std::vector<std::string> names;
  platform::FindData data{};
  platform::FindHandle h = platform::FindFirstFile(pattern.c_str(), &data);
  if (h == nullptr) return {"<" + std::to_string(platform::GetLastError()) + ">"};
  do {
    names.emplace_back(data.name);
  } while (platform::FindNextFile(h, &data));
  EXPECT_EQ(platform::GetLastError(), ERROR_NO_MORE_FILES) << pattern;
  platform::FindClose(h);
  return names;
}

using Names = std::vector<std::string>;

TEST(Find, MatchNameFollowsThePatternRules) {
  struct Row {
    const char* pattern;
    const char* name;
    bool want;
  } rows[] = {
      {"*.mai", "msg0001.mai", true},      {"*.mai", "MSG0001.MAI", true},
      {"*.mai", "msg0001.mail", false},    {"*.mai", "msg0001.mai.bak", false},
      {"*.mai", ".mai", true},             {"*.MAI", "x.mai", true},
      {"msg????.mai", "msg0001.mai", true}, {"msg????.mai", "MSGabcd.Mai", true},
      {"msg????.mai", "msg001.mai", false}, {"msg????.mai", "msg00001.mai", false},
      {"*.", "work", true},                {"*.", "#serial.dat", false},
      {"*.", ".hidden", false},            {"*", "anything.at.all", true},
      {"*", "", true},                     {"autorep.log", "AUTOREP.LOG", true},
      {"autorep.log", "autorep.lo", false}, {"a*b*c", "aXbYbZc", true},
      {"a*b*c", "aXbYbZ", false},          {"*?", "", false},
      {"\xC9t\xE9*", "\xE9T\xC9.txt", true},  // accented letters fold too
      {"*.mai", nullptr, false},           {nullptr, "x", false},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(platform::MatchName(r.pattern, r.name), r.want)
        << "pattern " << (r.pattern ? r.pattern : "null") << " name " << (r.name ? r.name : "null");
  }
}

TEST(Find, ListsMatchesInNameOrderWithTheirDetails) {
  Sandbox box;
  const std::string dir = box.Path("new/");
  for (const char* name : {"msg0003.mai", "MSG0001.MAI", "msg0002.mai", "notes.txt", "#serial.dat", "msg12.mai"}) {
    WriteTextFile(dir + name, std::string("12345"));
  }
  std::filesystem::create_directories(dir + "work");
  std::filesystem::create_directories(dir + "Archive");
  struct Row {
    const char* pattern;
    Names want;
  } rows[] = {
      {"*.mai", {"MSG0001.MAI", "msg0002.mai", "msg0003.mai", "msg12.mai"}},
      {"msg????.mai", {"MSG0001.MAI", "msg0002.mai", "msg0003.mai"}},
      {"*.", {"Archive", "work"}},
      {"*", {"#serial.dat", "Archive", "MSG0001.MAI", "msg0002.mai", "msg0003.mai", "msg12.mai", "notes.txt", "work"}},
      {"NOTES.TXT", {"notes.txt"}},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(Search(dir + r.pattern), r.want) << r.pattern;
  }
  platform::FindData data{};
  platform::FindHandle h = platform::FindFirstFile((dir + "*.").c_str(), &data);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(data.attributes, platform::kAttrDirectory);
  platform::FindClose(h);
  h = platform::FindFirstFile((dir + "notes.txt").c_str(), &data);
  ASSERT_NE(h, nullptr);
  struct stat st{};
  ASSERT_EQ(::stat((dir + "notes.txt").c_str(), &st), 0);
  EXPECT_EQ(data.attributes, platform::kAttrNormal);
  EXPECT_EQ(data.size, 5u);
  EXPECT_EQ(data.modified, st.st_mtime);
  EXPECT_FALSE(platform::FindNextFile(h, &data));
  EXPECT_EQ(platform::GetLastError(), ERROR_NO_MORE_FILES);
  platform::FindClose(h);
}

TEST(Find, TellsNothingMatchedFromAMissingDirectory) {
  Sandbox box;
  std::filesystem::create_directories(box.Path("empty"));
  WriteTextFile(box.Path("file"), "x");
  struct Row {
    std::string pattern;
    uint32_t want;
  } rows[] = {
      {box.Path("empty/*.mai"), ERROR_FILE_NOT_FOUND},
      {box.Path("empty/autorep.log"), ERROR_FILE_NOT_FOUND},
      {box.Path("missing/*.mai"), ERROR_PATH_NOT_FOUND},
      {box.Path("missing/deeper/*.mai"), ERROR_PATH_NOT_FOUND},
      {box.Path("file/*.mai"), ERROR_PATH_NOT_FOUND},  // a file where the folder should be
  };
  for (const Row& r : rows) {
    EXPECT_EQ(Search(r.pattern), Names{"<" + std::to_string(r.want) + ">"}) << r.pattern;
  }
  EXPECT_FALSE(platform::FindNextFile(nullptr, nullptr));
  EXPECT_EQ(platform::GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(Find, PassesOverANameRemovedDuringTheSearch) {
  Sandbox box;
  for (const char* name : {"msg0001.mai", "msg0002.mai", "msg0003.mai"}) WriteTextFile(box.Path(name), "x");
  platform::FindData data{};
  platform::FindHandle h = platform::FindFirstFile(box.Path("*.mai").c_str(), &data);
  ASSERT_NE(h, nullptr);
  EXPECT_STREQ(data.name, "msg0001.mai");
  std::filesystem::remove(box.Path("msg0002.mai"));
  ASSERT_TRUE(platform::FindNextFile(h, &data));
  EXPECT_STREQ(data.name, "msg0003.mai");
  EXPECT_FALSE(platform::FindNextFile(h, &data));
  platform::FindClose(h);
}

TEST(Find, FailuresAreReported) {
  Sandbox box;
  WriteTextFile(box.Path("private/msg0001.mai"), "x");
  {
    platform::fault::Scope scope;
    platform::fault::FailNth(platform::fault::Op::Open, 1, ERROR_IO_DEVICE);
    EXPECT_EQ(Search(box.Path("private/*.mai")), Names{"<1117>"});
    EXPECT_EQ(Search(box.Path("private/*.mai")), Names{"msg0001.mai"});
  }
}

TEST(Find, AnUnreadableFolderIsAccessDenied) {
  PELLAM_NEEDS_ROOT("searches as another account");
  Sandbox box;
  WriteTextFile(box.Path("private/msg0001.mai"), "x");
  ::chmod(box.root().c_str(), 0755);
  ::chmod(box.Path("private").c_str(), 0700);
  int rc = pellam::test::RunAsUser(65534, 65534, [&] {
    return Search(box.Path("private/*.mai")) == Names{"<5>"} ? 0 : 1;
  });
  EXPECT_EQ(rc, 0) << "an unreadable folder is access denied";
}

}  // namespace
