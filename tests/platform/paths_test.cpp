// Lexical path resolution, final names and trailing separators.
#include "platform/paths.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <string>

#include "platform/errors.h"
#include "sandbox.h"

namespace {

// Runs the test body in `dir` and goes back to the former directory afterwards.
class InDirectory {
 public:
  explicit InDirectory(const std::string& dir) {
    char buf[PATH_MAX];
    saved_ = ::getcwd(buf, sizeof buf) != nullptr ? buf : "/";
    EXPECT_EQ(::chdir(dir.c_str()), 0) << dir;
  }
  ~InDirectory() { EXPECT_EQ(::chdir(saved_.c_str()), 0); }
  InDirectory(const InDirectory&) = delete;
  InDirectory& operator=(const InDirectory&) = delete;

 private:
  std::string saved_;
};

std::string Resolve(const char* path) {
  char out[platform::kMaxPath];
  uint32_t n = platform::GetFullPathName(path, sizeof out, out);
  if (n == 0 || n >= sizeof out) return "<failed " + std::to_string(platform::GetLastError()) + ">";
  EXPECT_EQ(std::strlen(out), n) << path;
  return out;
}

TEST(Paths, ResolvesAbsolutePathsLexically) {
  struct Row {
    const char* in;
    const char* want;
  } rows[] = {
      {"/", "/"},
      {"/a/b/c", "/a/b/c"},
      {"/a/b/", "/a/b/"},
      {"/a/./b", "/a/b"},
      {"/a/b/.", "/a/b"},
      {"/a/b/..", "/a"},
      {"/a/b/../", "/a/"},
      {"/a/../../..", "/"},
      {"/..", "/"},
      {"//a//b///c//", "/a/b/c/"},
      {"/a/.../b", "/a/.../b"},  // "..." is an ordinary name
      {"/a/..b/c", "/a/..b/c"},
      {"/.", "/"},
      {"/a\\b/c", "/a\\b/c"},  // only "/" separates names
  };
  for (const Row& r : rows) {
    EXPECT_EQ(Resolve(r.in), r.want) << "input " << r.in;
  }
}

TEST(Paths, ResolvesRelativePathsAgainstTheCurrentDirectory) {
  pellam::test::Sandbox box;
  char real[PATH_MAX];
  ASSERT_NE(::realpath(box.root().c_str(), real), nullptr);
  const std::string cwd = real;
  InDirectory in(cwd);
  struct Row {
    const char* in;
    std::string want;
  } rows[] = {
      {"mail", cwd + "/mail"},
      {"mail/", cwd + "/mail/"},
      {"./mail/new/../main/", cwd + "/mail/main/"},
      {".", cwd},
      {"./", cwd + "/"},
      {"..", cwd.substr(0, cwd.rfind('/'))},
      {"does/not/exist", cwd + "/does/not/exist"},  // nothing is checked on disk
  };
  for (const Row& r : rows) {
    EXPECT_EQ(Resolve(r.in), r.want) << "input " << r.in;
  }
}

TEST(Paths, GivesTheFinalNameInsideTheResult) {
  char out[platform::kMaxPath];
  char* final_name = nullptr;
  ASSERT_EQ(platform::GetFullPathName("/a/b/msg0001.mai", sizeof out, out, &final_name), 16u);
  EXPECT_EQ(final_name, out + 5);
  ASSERT_GT(platform::GetFullPathName("/a/b/", sizeof out, out, &final_name), 0u);
  EXPECT_EQ(final_name, out + 5);  // a directory path has no final name: the NUL
  EXPECT_EQ(*final_name, '\0');
  ASSERT_GT(platform::GetFullPathName("/", sizeof out, out, &final_name), 0u);
  EXPECT_EQ(*final_name, '\0');
}

TEST(Paths, TooSmallABufferGetsTheSizeNeededAndIsLeftAlone) {
  char out[8];
  std::memset(out, 'x', sizeof out);
  // "/a/bcdefgh" is 10 characters: 11 with the NUL.
  EXPECT_EQ(platform::GetFullPathName("/a/./bcdefgh", sizeof out, out), 11u);
  EXPECT_EQ(std::string(out, sizeof out), std::string(8, 'x'));
  EXPECT_EQ(platform::GetFullPathName("/a/./bcdefgh", 0, nullptr), 11u);
  // Exactly large enough: the length without the NUL.
  char exact[11];
  EXPECT_EQ(platform::GetFullPathName("/a/./bcdefgh", sizeof exact, exact), 10u);
  EXPECT_STREQ(exact, "/a/bcdefgh");
}

TEST(Paths, RefusesMissingInput) {
  char out[platform::kMaxPath];
  struct Row {
    const char* path;
    uint32_t size;
    char* out;
  } rows[] = {{nullptr, sizeof out, out}, {"", sizeof out, out}, {"/a", 10, nullptr}};
  for (const Row& r : rows) {
    platform::SetLastError(0);
    EXPECT_EQ(platform::GetFullPathName(r.path, r.size, r.out), 0u) << (r.path ? r.path : "null");
    EXPECT_EQ(platform::GetLastError(), ERROR_INVALID_PARAMETER);
  }
}

TEST(Paths, AFailingCurrentDirectoryIsReported) {
  // A current directory that has been removed cannot anchor a relative path; an
  // absolute one still resolves.
  int rc = pellam::test::RunInChild([] {
    pellam::test::Sandbox box;
    std::string gone = box.Path("gone");
    if (::mkdir(gone.c_str(), 0700) != 0 || ::chdir(gone.c_str()) != 0 || ::rmdir(gone.c_str()) != 0) {
      return 10;
    }
    char out[platform::kMaxPath];
    if (platform::GetFullPathName("x", sizeof out, out) != 0) return 11;
    if (platform::GetLastError() != ERROR_FILE_NOT_FOUND) return 12;
    return platform::GetFullPathName("/x", sizeof out, out) == 2 ? 0 : 13;
  });
  EXPECT_EQ(rc, 0);
}

TEST(Paths, FinalName) {
  struct Row {
    const char* in;
    const char* want;
  } rows[] = {{"/a/b/msg0001.mai", "msg0001.mai"}, {"msg0001.mai", "msg0001.mai"},
              {"/a/b/", ""},                       {"", ""},
              {nullptr, ""}};
  for (const Row& r : rows) {
    EXPECT_STREQ(platform::FinalName(r.in), r.want) << (r.in ? r.in : "null");
  }
}

TEST(Paths, AddTrailingSeparator) {
  struct Row {
    const char* in;
    std::size_t size;
    bool ok;
    const char* want;  // the text afterwards
    uint32_t error;
  } rows[] = {
      {"/a/b", 6, true, "/a/b/", 0},
      {"/a/b/", 6, true, "/a/b/", 0},  // already ends in "/": nothing added
      {"/a/b", 5, false, "/a/b", ERROR_BUFFER_OVERFLOW},
      {"", 2, true, "/", 0},
  };
  for (const Row& r : rows) {
    char buf[16] = {};
    std::strcpy(buf, r.in);
    platform::SetLastError(0);
    EXPECT_EQ(platform::AddTrailingSeparator(buf, r.size), r.ok) << "input " << r.in;
    EXPECT_STREQ(buf, r.want) << "input " << r.in;
    EXPECT_EQ(platform::GetLastError(), r.error) << "input " << r.in;
  }
  char unterminated[4] = {'a', 'b', 'c', 'd'};
  EXPECT_FALSE(platform::AddTrailingSeparator(unterminated, sizeof unterminated));
  EXPECT_EQ(platform::GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(platform::AddTrailingSeparator(nullptr, 10));
  EXPECT_EQ(platform::GetLastError(), ERROR_INVALID_PARAMETER);
}

}  // namespace
