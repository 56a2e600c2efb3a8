// pellreg's commands in-process, where the platform layer's fault injection reaches
// them: every file operation of export and import fails once, and the store fails
// under them. A failed export leaves no file behind and never harms the file it was
// to replace; a failed import names the line it stopped at.
#include "pellreg/commands.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "pellreg/store.h"
#include "pellreg/text_file.h"
#include "platform/errors.h"
#include "platform/fault.h"
#include "platform/registry.h"
#include "sandbox.h"

namespace pellreg {
namespace {

namespace fs = std::filesystem;
using platform::fault::Op;

class PellregCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(RunArgs({"add", "HKLM\\Software\\T", "/v", "a", "/d", "one"}), 0) << err_.str();
    ASSERT_EQ(RunArgs({"add", "HKLM\\Software\\T\\Sub", "/v", "n", "/t", "REG_DWORD", "/d", "7"}), 0);
    dir_ = sandbox_.Path("out");
    fs::create_directories(dir_);
  }

  int RunArgs(const std::vector<std::string>& args) {
    out_.str("");
    err_.str("");
    return pellreg::Run(args, console_);
  }

  std::vector<std::string> Listing() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  // How many calls of `op` a good run of `args` makes; the last of them is the one
  // that touches the file, since the file is written (or read) at one end of the run.
  unsigned CallsOf(Op op, const std::vector<std::string>& args) {
    platform::fault::Clear();
    EXPECT_EQ(RunArgs(args), 0) << err_.str();
    unsigned calls = platform::fault::Calls(op);
    platform::fault::Clear();
    return calls;
  }

  pellam::test::Sandbox sandbox_;
  platform::fault::Scope faults_;
  std::ostringstream out_;
  std::ostringstream err_;
  Console console_{out_, err_, nullptr};
  std::string dir_;
};

TEST_F(PellregCommands, FailedExportLeavesNoFileAndKeepsTheOldOne) {
  struct Row {
    Op op;
    uint32_t code;
  } rows[] = {
      {Op::Open, ERROR_ACCESS_DENIED}, {Op::Write, ERROR_DISK_FULL}, {Op::Flush, ERROR_WRITE_FAULT},
      {Op::Close, ERROR_DISK_FULL},    {Op::Move, ERROR_ACCESS_DENIED},
  };
  const std::string probe = dir_ + "/probe.reg";
  const std::string target = dir_ + "/t.reg";
  for (const Row& row : rows) {
    for (bool replace : {false, true}) {
      fs::remove(probe);
      fs::remove(target);
      std::vector<std::string> probe_args = {"export", "HKLM\\Software", probe};
      std::vector<std::string> args = {"export", "HKLM\\Software", target};
      if (replace) {
        pellam::test::WriteTextFile(target, "old content");
        probe_args.push_back("/y");
        args.push_back("/y");
      }
      unsigned nth = CallsOf(row.op, probe_args);
      ASSERT_GT(nth, 0u) << static_cast<int>(row.op);
      platform::fault::FailNth(row.op, nth, row.code);
      EXPECT_EQ(RunArgs(args), 1) << static_cast<int>(row.op);
      EXPECT_EQ(err_.str(), "pellreg: cannot write " + target + ": " + CodeText(row.code) + "\n")
          << static_cast<int>(row.op) << " replace " << replace;
      std::vector<std::string> want = {"probe.reg"};
      if (replace) want.push_back("t.reg");
      EXPECT_EQ(Listing(), want) << static_cast<int>(row.op) << " replace " << replace;
      if (replace) {
        EXPECT_EQ(pellam::test::ReadTextFile(target), "old content");
      }
    }
  }
}

TEST_F(PellregCommands, ReplacingADirectoryFailsAndCleansUp) {
  fs::create_directories(dir_ + "/d.reg/inside");
  EXPECT_EQ(RunArgs({"export", "HKLM\\Software", dir_ + "/d.reg", "/y"}), 1);
  EXPECT_EQ(err_.str().rfind("pellreg: cannot write " + dir_ + "/d.reg: ", 0), 0u) << err_.str();
  EXPECT_EQ(Listing(), std::vector<std::string>{"d.reg"});
}

TEST_F(PellregCommands, FailedReadOfTheImportFileIsNamed) {
  const std::string file = dir_ + "/in.reg";
  pellam::test::WriteTextFile(file, "Windows Registry Editor Version 5.00\n\n[HKLM\\Software\\New]\n");
  struct Row {
    Op op;
    uint32_t code;
  } rows[] = {{Op::Open, ERROR_SHARING_VIOLATION}, {Op::Read, ERROR_READ_FAULT}};
  for (const Row& row : rows) {
    platform::fault::FailNth(row.op, 1, row.code);
    EXPECT_EQ(RunArgs({"import", file}), 1);
    EXPECT_EQ(err_.str(), "pellreg: cannot read " + file + ": " + CodeText(row.code) + "\n");
  }
  platform::fault::Clear();
  platform::UniqueKey key;
  EXPECT_EQ(OpenKey({Root::kLocalMachine, "Software\\New"}, platform::KEY_READ, &key),
            ERROR_FILE_NOT_FOUND);
}

TEST_F(PellregCommands, ImportFileTooLargeIsRefused) {
  const std::string file = dir_ + "/big.reg";
  pellam::test::WriteTextFile(file, "");
  fs::resize_file(file, kMaxTextFileSize + 1);
  EXPECT_EQ(RunArgs({"import", file}), 1);
  EXPECT_EQ(err_.str(), "pellreg: cannot read " + file + ": the file is larger than 64 MiB\n");
}

TEST_F(PellregCommands, StoreFailuresNameTheKeyAndTheLine) {
  const std::string file = dir_ + "/in.reg";
  pellam::test::WriteTextFile(file,
                              "Windows Registry Editor Version 5.00\n\n"
                              "[HKLM\\Software\\New]\n"
                              "\"x\"=\"1\"\n"
                              "[-HKLM\\Software\\T]\n");
  platform::fault::FailNth(Op::RegWrite, 2, ERROR_CANTWRITE);
  EXPECT_EQ(RunArgs({"import", file}), 1);
  EXPECT_EQ(err_.str(), "pellreg: " + file + ", line 4: cannot write HKEY_LOCAL_MACHINE\\Software\\New: " +
                            CodeText(ERROR_CANTWRITE) + "\n")
      << err_.str();
  platform::fault::FailNth(Op::RegWrite, 3, ERROR_CANTWRITE);  // after the set: the deletion
  EXPECT_EQ(RunArgs({"import", file}), 1);
  EXPECT_EQ(err_.str().rfind("pellreg: " + file + ", line 5: cannot delete HKEY_LOCAL_MACHINE\\Software\\T", 0), 0u)
      << err_.str();

  platform::fault::FailNth(Op::RegRead, 1, ERROR_BADDB, true);
  EXPECT_EQ(RunArgs({"export", "HKLM\\Software", dir_ + "/x.reg"}), 1);
  EXPECT_EQ(err_.str().rfind("pellreg: cannot read HKEY_LOCAL_MACHINE\\Software", 0), 0u) << err_.str();
  EXPECT_NE(err_.str().find(CodeText(ERROR_BADDB)), std::string::npos) << err_.str();
  EXPECT_FALSE(fs::exists(dir_ + "/x.reg"));
  EXPECT_EQ(RunArgs({"query", "HKLM\\Software", "/s"}), 1);
  EXPECT_NE(err_.str().find(CodeText(ERROR_BADDB)), std::string::npos) << err_.str();
  platform::fault::Clear();

  platform::fault::FailNth(Op::RegWrite, 1, ERROR_CANTWRITE);  // the deepest key goes first
  EXPECT_EQ(RunArgs({"delete", "HKLM\\Software\\T", "/f"}), 1);
  EXPECT_EQ(err_.str(), "pellreg: cannot delete HKEY_LOCAL_MACHINE\\Software\\T\\Sub: " +
                            CodeText(ERROR_CANTWRITE) + "\n");
  EXPECT_EQ(RunArgs({"query", "HKLM\\Software\\T\\Sub", "/v", "n"}), 0) << "nothing was deleted";
}

TEST_F(PellregCommands, NamesTheTextFormatCannotCarryStopTheExport) {
  platform::UniqueKey key;
  ASSERT_EQ(platform::RegCreateKeyEx(platform::HKEY_LOCAL_MACHINE, "Software\\T\\a\nb", key.out()), 0u);
  EXPECT_EQ(RunArgs({"export", "HKLM\\Software", dir_ + "/x.reg"}), 1);
  EXPECT_EQ(err_.str(), "pellreg: cannot export HKEY_LOCAL_MACHINE\\Software: the key name "
                        "\"HKEY_LOCAL_MACHINE\\Software\\T\\a\\nb\" holds a line break\n");
  EXPECT_TRUE(Listing().empty());
  EXPECT_EQ(RunArgs({"query", "HKLM\\Software\\T\\a\nb", "/v", "zz"}), 2) << "refused as typed";
  EXPECT_EQ(err_.str(), "pellreg: invalid key name \"HKLM\\Software\\T\\a\\nb\": a name cannot hold "
                        "a line break or a NUL\n");
}

TEST_F(PellregCommands, CodesWithoutATextAreShownByNumber) {
  EXPECT_EQ(CodeText(ERROR_ACCESS_DENIED), "Access is denied.");
  EXPECT_EQ(CodeText(0xC0000001u), "error 3221225473");
}

}  // namespace
}  // namespace pellreg
