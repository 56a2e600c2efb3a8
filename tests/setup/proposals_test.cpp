// How setup proposes its directories: the system root in and out of a sandbox, the
// mail directory the stored queue and temporary directories share, and the program
// directory of an installed service.
#include "proposals.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

namespace {

using namespace setup;

TEST(Proposals, TheSystemRootIsTheSandboxOrTheRoot) {
  struct Row {
    std::string sandbox, current;
    RootFound want;
    std::string root;
  };
  const Row rows[] = {
      {"", "/work/", RootFound::kFound, "/"},
      {"", "", RootFound::kFound, "/"},
      {"/tmp/box", "/work/", RootFound::kFound, "/tmp/box/"},
      {"box", "/work/", RootFound::kFound, "/work/box/"},
      {"box", "", RootFound::kUndetermined, ""},
      {"/" + std::string(253, 'r'), "/", RootFound::kFound, "/" + std::string(253, 'r') + "/"},
      {"/" + std::string(254, 'r'), "/", RootFound::kTooLong, ""},
      {std::string(200, 'r'), "/" + std::string(60, 'c') + "/", RootFound::kTooLong, ""},
  };
  for (const Row& r : rows) {
    std::string root;
    EXPECT_EQ(FindSystemRoot(r.sandbox, r.current, &root), r.want) << "sandbox '" << r.sandbox << "'";
    EXPECT_EQ(root, r.root) << "sandbox '" << r.sandbox << "'";
  }
}

TEST(Proposals, TheMailDirectoryIsWhatQueueAndTempShare) {
  struct Row {
    const char* queue;
    const char* temp;
    const char* want;
  };
  const Row rows[] = {
      {"/d/mail/queue/", "/d/mail/temp/", "/d/mail"},
      {"/var/spool/pellam/queue/", "/var/spool/pellam/temp/", "/var/spool/pellam"},
      {"/mail/q/", "/mail/qt/", "/mail"},       // "q" and "qt" share letters, not a directory
      {"/mail/queue/", "/mail/queue/", "/mail/queue"},
      {"/a/queue/", "/b/temp/", ""},            // only the root in common: the default is proposed
      {"/Mail/queue/", "/mail/temp/", ""},      // letter case tells names apart here
      {"", "/mail/temp/", ""},
      {"/x\\queue\\", "/x\\temp\\", "/x"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(SharedMailDirectory(r.queue, r.temp), r.want) << r.queue << " and " << r.temp;
  }
}

TEST(Proposals, TheProgramDirectoryOfAServiceProgram) {
  char cwd[256];
  ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
  const std::string here = std::string(cwd) == "/" ? "/" : std::string(cwd) + "/";
  EXPECT_EQ(ProgramDirectoryOf("/opt/pellam/pellam"), "/opt/pellam/");
  EXPECT_EQ(ProgramDirectoryOf("/opt/x/../pellam/pellam"), "/opt/pellam/");
  EXPECT_EQ(ProgramDirectoryOf("bin/pellam"), here + "bin/");
  const std::string longest = "/" + std::string(253, 'p') + "/";
  EXPECT_EQ(ProgramDirectoryOf(longest + "x"), longest);
  EXPECT_EQ(ProgramDirectoryOf("/" + std::string(254, 'p') + "/x"), "");
  EXPECT_EQ(ProgramDirectoryOf(longest + "pellam"), "") << "a path of 261 characters cannot be resolved";
  EXPECT_EQ(ProgramDirectoryOf(""), "");
}

}  // namespace
