// The file calls for callers that must not be sent elsewhere or must replace in one
// step: an open that refuses a link and never waits on a FIFO, a file with no name,
// a move that replaces, the program's own file, and looks that fail by injection.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <string>

#include "platform/errors.h"
#include "platform/fault.h"
#include "platform/files.h"
#include "platform/program_file.h"
#include "sandbox.h"

namespace {

using pellam::test::ReadTextFile;
using pellam::test::Sandbox;
using pellam::test::WriteTextFile;
using namespace platform;

// What OpenWithoutFollowing gives for `path`: the file's first bytes, or the code.
struct Opened {
  uint32_t code = 0;
  std::string bytes;
};
Opened OpenAndRead(const std::string& path) {
  UniqueFile file(OpenWithoutFollowing(path.c_str()));
  if (!file) return {GetLastError(), {}};
  char buffer[16];
  uint32_t done = 0;
  FileFacts facts;
  if (LookAtFile(file.get(), &facts) == 0 && S_ISREG(facts.mode) && ReadFile(file.get(), buffer, sizeof buffer, &done)) {
    return {0, std::string(buffer, done)};
  }
  return {0, "(not read)"};
}

TEST(FileCalls, OpenWithoutFollowingRefusesALinkAndNeverWaits) {
  Sandbox box;
  WriteTextFile(box.Path("file"), "text");
  ASSERT_EQ(::symlink(box.Path("file").c_str(), box.Path("link").c_str()), 0);
  ASSERT_EQ(::mkfifo(box.Path("fifo").c_str(), 0600), 0);
  struct Row {
    const char* name;
    uint32_t code;
    const char* bytes;
  } rows[] = {
      {"file", 0, "text"},
      {"link", ERROR_CANT_RESOLVE_FILENAME, ""},
      {"fifo", 0, "(not read)"},  // opened at once, for the caller to refuse
      {"missing", ERROR_FILE_NOT_FOUND, ""},
      {"nodir/missing", ERROR_PATH_NOT_FOUND, ""},
  };
  for (const Row& row : rows) {
    const Opened got = OpenAndRead(box.Path(row.name));
    EXPECT_EQ(got.code, row.code) << row.name;
    EXPECT_EQ(got.bytes, row.bytes) << row.name;
  }
  EXPECT_EQ(OpenWithoutFollowing(nullptr), kInvalidFile);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(FileCalls, AMemoryFileHasNoNameAndKeepsWhatIsWritten) {
  UniqueFile file(CreateMemoryFile("test"));
  ASSERT_TRUE(file);
  ASSERT_TRUE(WriteFile(file.get(), "in memory", 9));
  ASSERT_TRUE(SetFilePointer(file.get(), 0, kBegin));
  char buffer[16];
  uint32_t done = 0;
  ASSERT_TRUE(ReadFile(file.get(), buffer, sizeof buffer, &done));
  EXPECT_EQ(std::string(buffer, done), "in memory");
  FileFacts facts;
  ASSERT_EQ(LookAtFile(file.get(), &facts), 0u);
  EXPECT_EQ(facts.links, 0u) << "no name on disk";
  EXPECT_EQ(CreateMemoryFile(nullptr), kInvalidFile);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(FileCalls, MoveReplacingReplacesAFileButNothingElse) {
  Sandbox box;
  const std::string a = box.Path("a"), b = box.Path("b");
  WriteTextFile(a, "new");
  WriteTextFile(b, "old");
  ASSERT_TRUE(MoveFileReplacing(a.c_str(), b.c_str()));
  EXPECT_EQ(ReadTextFile(b), "new");
  EXPECT_FALSE(std::filesystem::exists(a));
  ASSERT_TRUE(MoveFileReplacing(b.c_str(), a.c_str())) << "to a name that is free";
  EXPECT_EQ(ReadTextFile(a), "new");

  std::filesystem::create_directories(box.Path("dir/inside"));
  struct Row {
    std::string from, to;
    uint32_t want;
  } rows[] = {
      {a, box.Path("dir"), ERROR_ACCESS_DENIED},
      {box.Path("missing"), b, ERROR_FILE_NOT_FOUND},
      {a, box.Path("nodir/b"), ERROR_PATH_NOT_FOUND},
  };
  for (const Row& r : rows) {
    EXPECT_FALSE(MoveFileReplacing(r.from.c_str(), r.to.c_str())) << r.from << " -> " << r.to;
    EXPECT_EQ(GetLastError(), r.want) << r.from << " -> " << r.to;
  }
  EXPECT_EQ(ReadTextFile(a), "new") << "a failed move leaves the file";
  EXPECT_TRUE(std::filesystem::is_directory(box.Path("dir/inside")));
  EXPECT_FALSE(MoveFileReplacing(nullptr, b.c_str()));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(FileCalls, LooksTellTheLastWriteAndFailByInjection) {
  Sandbox box;
  WriteTextFile(box.Path("a"), "A");
  const std::time_t before = std::time(nullptr);
  FileFacts facts;
  ASSERT_EQ(LookAtName(box.Path("a").c_str(), &facts), 0u);
  EXPECT_LE(facts.modified, before);
  EXPECT_GT(facts.modified, before - 60);

  UniqueFile file(CreateFile(box.Path("a").c_str(), kRead, kShareRead, kOpenExisting));
  ASSERT_TRUE(file);
  fault::Scope scope;
  fault::FailNth(fault::Op::Look, 1, ERROR_IO_DEVICE);
  EXPECT_EQ(LookAtName(box.Path("a").c_str(), &facts), ERROR_IO_DEVICE);
  EXPECT_EQ(LookAtName(box.Path("a").c_str(), &facts), 0u) << "once the fault has passed";
  fault::FailNth(fault::Op::Look, 1, ERROR_IO_DEVICE);
  EXPECT_EQ(LookAtFile(file.get(), &facts), ERROR_IO_DEVICE);
  EXPECT_EQ(LookAtFile(file.get(), &facts), 0u);
}

TEST(FileCalls, TheProgramsOwnFile) {
  std::string path = "unchanged";
  ASSERT_EQ(ProgramFileName(&path), 0u);
  EXPECT_EQ(path, std::filesystem::read_symlink("/proc/self/exe").string());
  EXPECT_EQ(path.front(), '/');

  fault::Scope scope;
  fault::FailNth(fault::Op::Look, 1, ERROR_IO_DEVICE);
  std::string failed = "unchanged";
  EXPECT_EQ(ProgramFileName(&failed), ERROR_IO_DEVICE);
  EXPECT_EQ(GetLastError(), ERROR_IO_DEVICE);
  EXPECT_EQ(failed, "unchanged");
  EXPECT_EQ(ProgramFileName(nullptr), ERROR_INVALID_PARAMETER);
}

}  // namespace
