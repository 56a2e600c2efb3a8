// Temporary names: their shape, uniqueness between processes, a full number space,
// and failures.
#include "platform/tempfile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>

#include "platform/errors.h"
#include "platform/fault.h"
#include "platform/paths.h"
#include "sandbox.h"

namespace {

using pellam::test::Sandbox;

TEST(TempFile, NamesArePrefixFourHexDigitsAndTmp) {
  Sandbox box;
  struct Row {
    std::string directory;
    const char* prefix;
    std::string want_start;
  } rows[] = {
      {box.root() + "/", "snd", box.root() + "/snd"},
      {box.root(), "snd", box.root() + "/snd"},  // "/" added
      {box.root() + "/", "abcdef", box.root() + "/abc"},  // three characters of the prefix
      {box.root() + "/", "", box.root() + "/"},
  };
  for (const Row& r : rows) {
    char out[platform::kMaxPath] = {};
    uint32_t n = platform::GetTempFileName(r.directory.c_str(), r.prefix, out);
    ASSERT_GE(n, 1u) << r.directory << " " << r.prefix;
    ASSERT_LE(n, 0xFFFFu);
    char hex[8];
    std::snprintf(hex, sizeof hex, "%04X", n);
    EXPECT_EQ(std::string(out), r.want_start + hex + ".tmp");
    struct stat st{};
    ASSERT_EQ(::stat(out, &st), 0) << out;
    EXPECT_EQ(st.st_size, 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
  }
}

TEST(TempFile, TwoProcessesCreating500EachNeverShareAName) {
  Sandbox box;
  const std::string dir = box.Path("tmp/");
  std::filesystem::create_directories(dir);
  int go[2];
  ASSERT_EQ(::pipe(go), 0);
  pid_t children[2];
  for (int c = 0; c < 2; ++c) {
    children[c] = ::fork();
    if (children[c] == 0) {
      ::close(go[1]);
      char byte;
      if (::read(go[0], &byte, 1) != 0) ::_exit(2);  // both start when the pipe closes
      FILE* list = std::fopen((box.Path("list") + std::to_string(c)).c_str(), "w");
      for (int i = 0; i < 500; ++i) {
        char out[platform::kMaxPath];
        if (platform::GetTempFileName(dir.c_str(), "snd", out) == 0) ::_exit(1);
        std::fprintf(list, "%s\n", out);
      }
      std::fclose(list);
      ::_exit(0);
    }
  }
  ::close(go[0]);
  ::close(go[1]);
  for (pid_t child : children) {
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
  }
  std::set<std::string> names;
  for (int c = 0; c < 2; ++c) {
    std::istringstream lines(pellam::test::ReadTextFile(box.Path("list") + std::to_string(c)));
    for (std::string line; std::getline(lines, line);) names.insert(line);
  }
  EXPECT_EQ(names.size(), 1000u) << "names handed out twice";
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1000);
}

TEST(TempFile, FindsTheLastFreeNumberAndThenReportsExists) {
  // 65535 files: on tmpfs, where creating and removing them is quick.
  std::string tmpl = "/dev/shm/pellam-temp-XXXXXX";
  if (::mkdtemp(tmpl.data()) == nullptr) GTEST_SKIP() << "no /dev/shm";
  const std::string dir = tmpl + "/";
  for (unsigned n = 1; n <= 0xFFFF; ++n) {
    if (n == 0x1234) continue;
    char name[64];
    std::snprintf(name, sizeof name, "t%04X.tmp", n);
    int fd = ::open((dir + name).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0) << name;
    ::close(fd);
  }
  char out[platform::kMaxPath];
  EXPECT_EQ(platform::GetTempFileName(dir.c_str(), "t", out), 0x1234u);
  EXPECT_EQ(platform::GetTempFileName(dir.c_str(), "t", out), 0u);
  EXPECT_EQ(platform::GetLastError(), ERROR_FILE_EXISTS);
  std::filesystem::remove_all(tmpl);
}

TEST(TempFile, FailuresAreReported) {
  Sandbox box;
  char out[platform::kMaxPath];
  const std::string too_long = box.root() + "/" + std::string(platform::kMaxPath, 'd');
  struct Row {
    const char* name;
    const char* directory;
    uint32_t want;
  } rows[] = {
      {"missing directory", nullptr, ERROR_PATH_NOT_FOUND},
      {"too long", too_long.c_str(), ERROR_BUFFER_OVERFLOW},
  };
  const std::string missing = box.Path("missing/");
  rows[0].directory = missing.c_str();
  for (const Row& r : rows) {
    EXPECT_EQ(platform::GetTempFileName(r.directory, "snd", out), 0u) << r.name;
    EXPECT_EQ(platform::GetLastError(), r.want) << r.name;
  }
  EXPECT_EQ(platform::GetTempFileName(nullptr, "snd", out), 0u);
  EXPECT_EQ(platform::GetLastError(), ERROR_INVALID_PARAMETER);

  platform::fault::Scope scope;
  platform::fault::FailNth(platform::fault::Op::TempName, 1, ERROR_DISK_FULL);
  EXPECT_EQ(platform::GetTempFileName(box.root().c_str(), "snd", out), 0u);
  EXPECT_EQ(platform::GetLastError(), ERROR_DISK_FULL);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(box.root()), {}), 1) << "only etc/";
}

}  // namespace
