// The built pellreg run as administrators run it, inside a sandbox: help, version and
// exit codes, add/query/delete with the exact output, every message the program can
// print, the question on a terminal, a user without the right to write the machine
// hive, and an export imported into an empty sandbox giving back every value.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <tuple>

#include "needs_root.h"
#include "pellreg/store.h"
#include "platform/registry.h"
#include "sandbox.h"

namespace pellreg {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

std::vector<char*> Argv(const Args& args) {
  std::vector<char*> argv = {const_cast<char*>(PELLREG_PROGRAM)};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  return argv;
}

int ExitStatus(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Runs pellreg with standard input from /dev/null (not a terminal) and its output in
// files inside `dir`, or standard output to `stdout_path` when given.
Outcome RunProgram(const Args& args, const std::string& dir, const char* stdout_path = nullptr) {
  const std::string out_path = stdout_path ? stdout_path : dir + "/stdout";
  const std::string err_path = dir + "/stderr";
  std::vector<char*> argv = Argv(args);
  pid_t pid = ::fork();
  if (pid == 0) {
    int in = ::open("/dev/null", O_RDONLY);
    int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0) ::_exit(126);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    ::execv(PELLREG_PROGRAM, argv.data());
    ::_exit(127);
  }
  Outcome outcome;
  outcome.status = ExitStatus(pid);
  if (stdout_path == nullptr) outcome.out = pellam::test::ReadTextFile(out_path);
  outcome.err = pellam::test::ReadTextFile(err_path);
  return outcome;
}

// Runs pellreg on a terminal that types `typed`; returns what the terminal showed.
Outcome RunOnTerminal(const Args& args, const std::string& typed) {
  std::vector<char*> argv = Argv(args);
  int terminal = -1;
  pid_t pid = ::forkpty(&terminal, nullptr, nullptr, nullptr);
  if (pid == 0) {
    ::execv(PELLREG_PROGRAM, argv.data());
    ::_exit(127);
  }
  Outcome outcome;
  if (pid < 0) return outcome;
  EXPECT_EQ(::write(terminal, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
  char buffer[4096];
  while (true) {
    pollfd p{terminal, POLLIN, 0};
    if (::poll(&p, 1, 10000) <= 0) break;
    ssize_t n = ::read(terminal, buffer, sizeof buffer);
    if (n <= 0) break;  // EIO once the program has closed the terminal
    outcome.out.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(terminal);
  outcome.status = ExitStatus(pid);
  return outcome;
}

class PellregProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    sandbox_.AddCurrentUser("admin", "Administrator");
    dir_ = sandbox_.Path("io");
    fs::create_directories(dir_);
  }

  Outcome Pellreg(const Args& args) { return RunProgram(args, dir_); }

  void MustRun(const Args& args) {
    Outcome o = Pellreg(args);
    ASSERT_EQ(o.status, 0) << args[0] << ": " << o.err;
  }

  void FillExample() {
    MustRun({"add", "HKLM\\Software\\T", "/v", "s", "/d", "hello world"});
    MustRun({"add", "HKLM\\Software\\T", "/v", "n", "/t", "REG_DWORD", "/d", "0x10"});
    MustRun({"add", "HKLM\\Software\\T", "/v", "m", "/t", "REG_MULTI_SZ", "/d", "a\\0b"});
    MustRun({"add", "HKLM\\Software\\T", "/v", "b", "/t", "REG_BINARY", "/d", "00ff"});
    MustRun({"add", "HKLM\\Software\\T", "/ve", "/d", "def"});
    MustRun({"add", "HKLM\\Software\\T\\Sub"});
  }

  pellam::test::Sandbox sandbox_;
  std::string dir_;
};

TEST_F(PellregProgram, HelpVersionAndExitCodes) {
  struct Row {
    Args args;
    int status;
    std::string out_start;
    std::string err;
  } rows[] = {
      {{"/?"}, 0, "Usage: pellreg", ""},
      {{"-h"}, 0, "Usage: pellreg", ""},
      {{"--help"}, 0, "Usage: pellreg", ""},
      {{"export", "--help"}, 0, "Usage: pellreg", ""},
      {{"--version"}, 0, "pellreg " PELLREG_VERSION "\n", ""},
      {{}, 2, "Usage: pellreg", "pellreg: no command given\n"},
      {{"frob"}, 2, "Usage: pellreg", "pellreg: unknown command \"frob\"\n"},
      {{"add", "HKLM\\a", "/v", "n", "/t", "REG_DWORD", "/d", "x"}, 2, "",
       "pellreg: bad number \"x\" for REG_DWORD: give 0 to 4294967295 in decimal or as 0x hex\n"},
      {{"query", "HKLM\\a\nb"}, 2, "", "pellreg: invalid key name \"HKLM\\a\\nb\": a name cannot hold a line break or a NUL\n"},
  };
  for (const Row& row : rows) {
    Outcome o = Pellreg(row.args);
    EXPECT_EQ(o.status, row.status) << (row.args.empty() ? "" : row.args[0]);
    EXPECT_EQ(o.out.substr(0, row.out_start.size()), row.out_start) << o.out;
    if (row.out_start.empty()) {
      EXPECT_EQ(o.out, "");
    }
    EXPECT_EQ(o.err, row.err);
  }
}

TEST_F(PellregProgram, AddQueryDelete) {
  FillExample();
  Outcome o = Pellreg({"query", "hklm\\Software\\T"});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out,
            "HKEY_LOCAL_MACHINE\\Software\\T\n"
            "    (Default)    REG_SZ    def\n"
            "    b    REG_BINARY    00FF\n"
            "    m    REG_MULTI_SZ    a\\0b\n"
            "    n    REG_DWORD    0x10\n"
            "    s    REG_SZ    hello world\n"
            "\n"
            "HKEY_LOCAL_MACHINE\\Software\\T\\Sub\n");
  o = Pellreg({"query", "HKLM\\Software\\T", "/v", "N"});
  EXPECT_EQ(o.out, "HKEY_LOCAL_MACHINE\\Software\\T\n    n    REG_DWORD    0x10\n") << "the name as stored";
  MustRun({"add", "HKLM\\Software\\T\\Sub", "/v", "n", "/t", "REG_DWORD", "/d", "4294967295"});
  o = Pellreg({"query", "HKLM\\Software", "/v", "n", "/s"});
  EXPECT_EQ(o.out,
            "HKEY_LOCAL_MACHINE\\Software\\T\n    n    REG_DWORD    0x10\n\n"
            "HKEY_LOCAL_MACHINE\\Software\\T\\Sub\n    n    REG_DWORD    0xffffffff\n\n");
  MustRun({"add", "HKLM\\Software\\T", "/v", "s", "/d", "replaced", "/f"});
  MustRun({"delete", "HKLM\\Software\\T", "/v", "m", "/f"});
  MustRun({"delete", "HKLM\\Software\\T", "/ve", "/f"});
  o = Pellreg({"query", "HKLM\\Software", "/s"});
  EXPECT_EQ(o.out,
            "HKEY_LOCAL_MACHINE\\Software\n\n"
            "HKEY_LOCAL_MACHINE\\Software\\T\n"
            "    b    REG_BINARY    00FF\n"
            "    n    REG_DWORD    0x10\n"
            "    s    REG_SZ    replaced\n\n"
            "HKEY_LOCAL_MACHINE\\Software\\T\\Sub\n"
            "    n    REG_DWORD    0xffffffff\n\n");
  MustRun({"delete", "HKLM\\Software\\T", "/f"});
  EXPECT_EQ(Pellreg({"query", "HKLM\\Software"}).out, "HKEY_LOCAL_MACHINE\\Software\n\n");
  MustRun({"add", "HKCU\\Software\\Corwent\\Pelldesk\\Settings", "/v", "Font", "/d", "Courier"});
  EXPECT_EQ(Pellreg({"query", "HKCU\\Software\\Corwent\\Pelldesk\\Settings", "/v", "font"}).out,
            "HKEY_CURRENT_USER\\Software\\Corwent\\Pelldesk\\Settings\n    Font    REG_SZ    Courier\n");
}

TEST_F(PellregProgram, EveryFailureHasItsMessage) {
  FillExample();
  const std::string exists = dir_ + "/exists.reg";
  pellam::test::WriteTextFile(exists, "keep");
  const std::string bad = dir_ + "/bad.reg";
  pellam::test::WriteTextFile(bad, "Windows Registry Editor Version 5.00\r\n\r\n"
                                   "[HKLM\\Software\\T]\r\n\"s\"=\"changed\"\r\n\"x\"=dword:zz\r\n");
  const std::string k = "HKEY_LOCAL_MACHINE\\Software\\T";
  struct Row {
    Args args;
    std::string err;
  } rows[] = {
      {{"query", "HKLM\\Nope"}, "the key HKEY_LOCAL_MACHINE\\Nope does not exist"},
      {{"query", "HKLM\\Nope", "/s"}, "the key HKEY_LOCAL_MACHINE\\Nope does not exist"},
      {{"query", "HKLM\\Software\\T", "/v", "zz"}, "the value \"zz\" does not exist in " + k},
      {{"query", "HKLM\\Software\\T\\Sub", "/ve"}, "the default value does not exist in " + k + "\\Sub"},
      {{"query", "HKLM\\Software", "/v", "zz", "/s"}, "the value \"zz\" does not exist in HKEY_LOCAL_MACHINE\\Software or below it"},
      {{"query", "HKU\\S-1-22-1-4000000"}, "the key HKEY_USERS\\S-1-22-1-4000000 does not exist"},
      {{"add", "HKLM\\Software\\T", "/v", "s", "/d", "x"}, "the value \"s\" exists in " + k + "; give /f to replace it"},
      {{"add", "HKLM\\Software\\T", "/ve", "/d", "x"}, "the default value exists in " + k + "; give /f to replace it"},
      {{"delete", "HKLM\\Software\\T", "/v", "zz", "/f"}, "the value \"zz\" does not exist in " + k},
      {{"delete", "HKLM\\Nope", "/v", "zz", "/f"}, "the key HKEY_LOCAL_MACHINE\\Nope does not exist"},
      {{"delete", "HKLM\\Software\\T", "/v", "s"}, "give /f to delete the value \"s\" of " + k + " without being asked"},
      {{"delete", "HKLM\\Software\\T"}, "give /f to delete " + k + " without being asked"},
      {{"delete", "HKLM\\Nope", "/f"}, "the key HKEY_LOCAL_MACHINE\\Nope does not exist"},
      {{"export", "HKLM\\Nope", dir_ + "/x.reg"}, "the key HKEY_LOCAL_MACHINE\\Nope does not exist"},
      {{"export", "HKLM\\Software", exists}, "the file " + exists + " exists; give /y to replace it"},
      {{"export", "HKLM\\Software", dir_ + "/no/x.reg"}, "cannot write " + dir_ + "/no/x.reg: The system cannot find the path specified."},
      {{"import", dir_ + "/none.reg"}, "cannot read " + dir_ + "/none.reg: The system cannot find the file specified."},
      {{"import", bad}, bad + ", line 5: dword: must be followed by 1 to 8 hex digits"},
  };
  for (const Row& row : rows) {
    Outcome o = Pellreg(row.args);
    EXPECT_EQ(o.status, 1) << row.args[0] << " " << row.args[1];
    EXPECT_EQ(o.err, "pellreg: " + row.err + "\n");
  }
  // Nothing of the malformed file was written, nothing refused was changed.
  EXPECT_EQ(Pellreg({"query", "HKLM\\Software\\T", "/v", "s"}).out,
            "HKEY_LOCAL_MACHINE\\Software\\T\n    s    REG_SZ    hello world\n");
  EXPECT_EQ(Pellreg({"query", "HKLM\\Software\\T\\Sub"}).status, 0);
  EXPECT_EQ(pellam::test::ReadTextFile(exists), "keep");

  Outcome full = RunProgram({"query", "HKLM\\Software\\T"}, dir_, "/dev/full");
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.err, "pellreg: cannot write to standard output\n");
}

TEST_F(PellregProgram, AsksOnATerminal) {
  FillExample();
  Outcome o = RunOnTerminal({"add", "HKLM\\Software\\T", "/v", "s", "/d", "new"}, "maybe\nyes\n");
  EXPECT_EQ(o.status, 0) << o.out;
  EXPECT_NE(o.out.find("Value s exists, overwrite(Yes/No)? "), std::string::npos) << o.out;
  EXPECT_EQ(Pellreg({"query", "HKLM\\Software\\T", "/v", "s"}).out,
            "HKEY_LOCAL_MACHINE\\Software\\T\n    s    REG_SZ    new\n");

  o = RunOnTerminal({"add", "HKLM\\Software\\T", "/v", "s", "/d", "newer"}, "no\n");
  EXPECT_EQ(o.status, 1) << o.out;
  EXPECT_NE(o.out.find("pellreg: the operation was cancelled"), std::string::npos) << o.out;
  EXPECT_EQ(Pellreg({"query", "HKLM\\Software\\T", "/v", "s"}).out,
            "HKEY_LOCAL_MACHINE\\Software\\T\n    s    REG_SZ    new\n");

  o = RunOnTerminal({"delete", "HKLM\\Software\\T", "/v", "s"}, "y\n");
  EXPECT_EQ(o.status, 0) << o.out;
  EXPECT_NE(o.out.find("Delete the registry value s (Yes/No)? "), std::string::npos) << o.out;
  o = RunOnTerminal({"delete", "HKLM\\Software\\T"}, "YES\n");
  EXPECT_EQ(o.status, 0) << o.out;
  EXPECT_NE(o.out.find("Permanently delete the registry key HKEY_LOCAL_MACHINE\\Software\\T (Yes/No)? "),
            std::string::npos) << o.out;
  EXPECT_EQ(Pellreg({"query", "HKLM\\Software\\T"}).status, 1);
}

TEST_F(PellregProgram, UserWithoutRightsIsDeniedTheMachineHive) {
  PELLAM_NEEDS_ROOT("runs pellreg as another account");
  FillExample();
  MustRun({"add", "HKCU\\Software", "/v", "private", "/d", "root's"});
  const uid_t uid = 4242;
  sandbox_.AddUser("ann", uid, "Ann", "/home/ann");
  const std::string home = sandbox_.Path("/home/ann");
  const std::string file = home + "/in.reg";
  pellam::test::WriteTextFile(file, "Windows Registry Editor Version 5.00\n\n[HKLM\\Software\\T]\n\"s\"=\"ann's\"\n");
  ASSERT_EQ(::chown(file.c_str(), uid, uid), 0);
  const std::string k = "HKEY_LOCAL_MACHINE\\Software\\T";
  struct Row {
    Args args;
    int status;
    std::string err;
  } rows[] = {
      {{"add", "HKLM\\Software\\T", "/v", "s", "/d", "x", "/f"}, 1, "pellreg: cannot write " + k + ": Access is denied.\n"},
      {{"add", "HKLM\\Software\\New"}, 1, "pellreg: cannot write HKEY_LOCAL_MACHINE\\Software\\New: Access is denied.\n"},
      {{"delete", "HKLM\\Software\\T", "/v", "s", "/f"}, 1, "pellreg: cannot write " + k + ": Access is denied.\n"},
      {{"delete", "HKLM\\Software\\T", "/f"}, 1, "pellreg: cannot delete " + k + ": Access is denied.\n"},
      {{"import", file}, 1, "pellreg: " + file + ", line 3: cannot write " + k + ": Access is denied.\n"},
      {{"query", "HKU\\S-1-22-1-" + std::to_string(::geteuid())}, 1,
       "pellreg: cannot read HKEY_USERS\\S-1-22-1-" + std::to_string(::geteuid()) + ": Access is denied.\n"},
      {{"query", "HKLM\\Software\\T", "/v", "s"}, 0, ""},
      {{"add", "HKCU\\Software", "/v", "mine", "/d", "ann's"}, 0, ""},
  };
  for (const Row& row : rows) {
    int status = pellam::test::RunAsUser(uid, uid, [&] { return RunProgram(row.args, home).status; });
    EXPECT_EQ(status, row.status) << row.args[0] << " " << row.args[1];
    EXPECT_EQ(pellam::test::ReadTextFile(home + "/stderr"), row.err) << row.args[0] << " " << row.args[1];
  }
  EXPECT_EQ(Pellreg({"query", "HKLM\\Software\\T", "/v", "s"}).out,
            "HKEY_LOCAL_MACHINE\\Software\\T\n    s    REG_SZ    hello world\n");
}

// Every key below `top` with its values, as the store holds them.
using Tree = std::vector<std::tuple<std::string, std::string, uint32_t, Bytes>>;

Tree Snapshot(const std::string& top) {
  std::string error;
  std::optional<KeyPath> key = ParseKeyPath(top, &error);
  Tree all;
  KeyPath failed;
  EXPECT_EQ(WalkTree(*key, [&](const KeyPath& path, platform::HKEY handle) {
              std::vector<StoredValue> values;
              uint32_t rc = ReadValues(handle, &values);
              all.emplace_back(FullName(path), "", 0, Bytes{});
              for (const StoredValue& v : values) all.emplace_back(FullName(path), v.name, v.type, v.data);
              return rc;
            }, &failed), 0u) << FullName(failed);
  return all;
}

TEST(PellregRoundTrip, ExportThenImportIntoAnEmptySandboxGivesEverythingBack) {
  Tree snapshot_lm, snapshot_cu;
  std::string text_lm, text_cu, query_before;
  {
    pellam::test::Sandbox a;
    a.AddCurrentUser("admin", "Administrator");
    const std::string dir = a.Path("io");
    fs::create_directories(dir);
    auto must = [&](const Args& args) {
      Outcome o = RunProgram(args, dir);
      ASSERT_EQ(o.status, 0) << args[0] << " " << args[1] << ": " << o.err;
    };
    must({"add", "HKLM\\Software\\Corwent\\Pellam", "/v", "MailQueuePath", "/d", "/var/spool/pellam/queue/"});
    must({"add", "HKLM\\Software\\Corwent\\Pellam", "/v", "NetSendTimeout", "/t", "REG_DWORD", "/d", "60000"});
    must({"add", "HKLM\\Software\\Corwent\\Pellam\\Alias", "/v", "staff", "/t", "REG_MULTI_SZ", "/d", "SMITH\\0JONES"});
    must({"add", "HKLM\\Software\\Corwent\\Pellam", "/v", "Home", "/t", "REG_EXPAND_SZ", "/d", "$HOME/mail"});
    must({"add", "HKLM\\Software\\Corwent\\Pellam", "/v", "Blob", "/t", "REG_BINARY", "/d", std::string(600, 'a')});
    must({"add", "HKLM\\Software\\Corwent\\Pellam", "/ve", "/d", "default \"quoted\" \\ back"});
    must({"add", "HKLM\\Software\\Corwent\\Empty\\Deeper"});
    must({"add", "HKCU\\Software\\Corwent\\Pellam", "/v", "FullName", "/d", "Ren\xe9 Admin"});
    // Types and shapes the command line does not make: through the store itself.
    platform::UniqueKey key;
    ASSERT_EQ(platform::RegCreateKeyEx(platform::HKEY_LOCAL_MACHINE, "Software\\Odd", key.out()), 0u);
    const uint8_t bytes[] = {'a', '\n', 'b', 0, 1, 2, 3, 4, 5, 6, 7, 8};
    struct {
      const char* name;
      uint32_t type;
      uint32_t size;
    } odd[] = {{"none", platform::REG_NONE, 3}, {"qword", 11, 8}, {"short dword", platform::REG_DWORD, 2},
               {"line\\break \"sz\"", platform::REG_SZ, 4}, {"empty", platform::REG_BINARY, 0}};
    for (const auto& v : odd) {
      ASSERT_EQ(platform::RegSetValueEx(key.get(), v.name, v.type, bytes, v.size), 0u) << v.name;
    }
    snapshot_lm = Snapshot("HKLM\\Software");
    snapshot_cu = Snapshot("HKCU\\Software");
    query_before = RunProgram({"query", "HKLM\\Software", "/s"}, dir).out;
    must({"export", "HKLM\\Software", dir + "/lm.reg"});
    must({"export", "HKCU\\Software", dir + "/cu.reg"});
    text_lm = pellam::test::ReadTextFile(dir + "/lm.reg");
    text_cu = pellam::test::ReadTextFile(dir + "/cu.reg");
  }
  pellam::test::Sandbox b;
  b.AddCurrentUser("admin", "Administrator");
  const std::string dir = b.Path("io");
  pellam::test::WriteTextFile(dir + "/lm.reg", text_lm);
  pellam::test::WriteTextFile(dir + "/cu.reg", text_cu);
  EXPECT_EQ(RunProgram({"import", dir + "/lm.reg"}, dir).err, "");
  EXPECT_EQ(RunProgram({"import", dir + "/cu.reg"}, dir).err, "");
  EXPECT_EQ(Snapshot("HKLM\\Software"), snapshot_lm);
  EXPECT_EQ(Snapshot("HKCU\\Software"), snapshot_cu);
  EXPECT_EQ(RunProgram({"query", "HKLM\\Software", "/s"}, dir).out, query_before);
  Outcome again = RunProgram({"export", "HKLM\\Software", dir + "/lm.reg", "/y"}, dir);
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(pellam::test::ReadTextFile(dir + "/lm.reg"), text_lm);
  EXPECT_GT(snapshot_lm.size(), 12u);
}

}  // namespace
}  // namespace pellreg
