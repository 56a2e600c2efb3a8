// Delivery and filing: the folder counter and its rebuild, the placement loop that
// never replaces a message, the move that falls back to a copy, every file operation
// failing in turn, a counter held by another process, four processes filing into one
// folder at once, and forwarding through the queue.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "delivery/deliver_files.h"
#include "delivery/serial_counter.h"
#include "pellam.h"
#include "platform/errors.h"
#include "platform/fault.h"
#include "platform/files.h"
#include "posting_sandbox.h"
#include "sandbox.h"

namespace {

namespace fs = std::filesystem;
using pellam::test::ReadTextFile;
using pellam::test::Sandbox;
using pellam::test::WriteTextFile;
using platform::fault::Op;
using Names = std::vector<std::string>;

// The file names in a directory, sorted; the counter file included.
Names NamesIn(const std::string& directory) {
  Names names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(directory, ec)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class Delivery : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = box_.Path("mail/");
    folder_ = base_ + "new/";
    fs::create_directories(folder_);
    source_ = box_.Path("incoming.txt");
    WriteTextFile(source_, kContent);
  }
  void TearDown() override { pellam::delivery::SetCounterWait(250, 20000); }

  // Places the source into "new/" and returns the status; `*name` receives the new
  // file's final name.
  uint32_t Place(bool move, std::string* name = nullptr, uint32_t create = 0) {
    uint32_t moved = move ? 1 : 0;
    char new_name[PELLAM_MAX_PATH] = "junk";
    const uint32_t code = MoveOrCopy(source_.c_str(), base_.c_str(), "new/", &moved, new_name, create);
    moved_ = moved;
    if (name != nullptr) *name = fs::path(new_name).filename().string();
    if (code != 0 && moved == 0) {
      EXPECT_STREQ(new_name, "") << "a failed placement names no file";
    }
    return code;
  }
  std::string Counter() const { return ReadTextFile(folder_ + "#serial.dat"); }
  Names Messages() const {
    Names names = NamesIn(folder_);
    names.erase(std::remove(names.begin(), names.end(), "#serial.dat"), names.end());
    return names;
  }

  static constexpr const char* kContent = "Received: by NODEA; 12 Jan 1995 10:20:30\r\n\r\nhello\r\n";
  Sandbox box_;
  std::string base_, folder_, source_;
  uint32_t moved_ = 0;
};

TEST_F(Delivery, TheCounterAndWhatItIsRebuiltFrom) {
  struct Row {
    const char* what;
    Names existing;       // message files in the folder beforehand
    const char* counter;  // null: no counter file
    const char* want_name;
    const char* want_counter;
  };
  const Row rows[] = {
      {"empty folder, no counter", {}, nullptr, "msg0001.mai", "1\r\n"},
      {"three messages, no counter", {"msg0001.mai", "msg0002.mai", "msg0003.mai"}, nullptr, "msg0004.mai",
       "4\r\n"},
      {"counter at the top wraps", {}, "9999\r\n", "msg0001.mai", "1\r\n"},
      {"wrap skips a file left from before", {"msg0001.mai"}, "9999\r\n", "msg0002.mai", "2\r\n"},
      {"letters: rebuilt", {"msg0005.mai"}, "abc\r\n", "msg0006.mai", "6\r\n"},
      {"negative: rebuilt", {"msg0002.mai"}, "-3\r\n", "msg0003.mai", "3\r\n"},
      {"empty counter: rebuilt", {"msg0007.mai"}, "", "msg0008.mai", "8\r\n"},
      {"number then other text", {}, "12xyz", "msg0013.mai", "13\r\n"},
      {"leading blanks", {}, "  41\r\n", "msg0042.mai", "42\r\n"},
      {"tab and line breaks before", {}, "\t\r\n\v\f 20\r\n", "msg0021.mai", "21\r\n"},
      {"plus sign", {}, "+30\r\n", "msg0031.mai", "31\r\n"},
      {"plus without digits: rebuilt", {"msg0006.mai"}, "+-3\r\n", "msg0007.mai", "7\r\n"},
      {"blank between sign and digits: rebuilt", {"msg0009.mai"}, "- 3\r\n", "msg0010.mai", "10\r\n"},
      {"minus zero is zero", {}, "-0\r\n", "msg0001.mai", "1\r\n"},
      {"largest number wraps", {}, "2147483647", "msg0001.mai", "1\r\n"},
      {"one above the largest: rebuilt", {"msg0011.mai"}, "2147483648", "msg0012.mai", "12\r\n"},
      {"taken number is skipped", {"msg0013.mai"}, "12\r\n", "msg0014.mai", "14\r\n"},
      {"too large for a number: rebuilt", {"msg0003.mai"}, "99999999999999", "msg0004.mai", "4\r\n"},
      {"only 15 bytes are read", {}, "00000000000000017\r\n", "msg0001.mai", "1\r\n"},
      {"zero", {}, "0\r\n", "msg0001.mai", "1\r\n"},
      {"above the top wraps", {}, "12000\r\n", "msg0001.mai", "1\r\n"},
      {"names matched without regard to case", {"MSG0009.MAI"}, nullptr, "msg0010.mai", "10\r\n"},
      {"last run of digits of a name", {"msg12ab.mai", "msg0004.mai"}, nullptr, "msg0013.mai", "13\r\n"},
      {"other names do not count", {"msg00099.mai", "note0050.mai", "msg0002.txt"}, nullptr, "msg0001.mai",
       "1\r\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    for (const auto& name : row.existing) WriteTextFile(folder_ + name, "old");
    if (row.counter != nullptr) WriteTextFile(folder_ + "#serial.dat", row.counter);
    std::string name;
    ASSERT_EQ(Place(false, &name), 0u);
    EXPECT_EQ(name, row.want_name);
    EXPECT_EQ(Counter(), row.want_counter);
    EXPECT_EQ(ReadTextFile(folder_ + name), kContent);
    for (const auto& old : row.existing) EXPECT_EQ(ReadTextFile(folder_ + old), "old") << old << " replaced";
  }
}

TEST_F(Delivery, MoveCopyAndTheMovedFlag) {
  std::string name;
  ASSERT_EQ(Place(false, &name), 0u);
  EXPECT_EQ(moved_, 0u);
  EXPECT_EQ(name, "msg0001.mai");
  EXPECT_EQ(ReadTextFile(source_), kContent) << "a copy keeps the source";

  uint32_t moved = 1;
  char new_name[PELLAM_MAX_PATH];
  ASSERT_EQ(MoveOrCopy(source_.c_str(), base_.c_str(), "new/", &moved, new_name, 0), 0u);
  EXPECT_EQ(moved, 1u);
  EXPECT_EQ(std::string(new_name), folder_ + "msg0002.mai");
  EXPECT_FALSE(fs::exists(source_));
  EXPECT_EQ(ReadTextFile(new_name), kContent);

  // The new name is optional.
  WriteTextFile(source_, kContent);
  moved = 1;
  EXPECT_EQ(MoveOrCopy(source_.c_str(), base_.c_str(), "new/", &moved, nullptr, 0), 0u);
  EXPECT_EQ(Messages(), (Names{"msg0001.mai", "msg0002.mai", "msg0003.mai"}));
}

TEST_F(Delivery, ArgumentsAreCheckedBeforeAnythingIsTouched) {
  const std::string long_base = box_.Path("") + "/" + std::string(240 - box_.Path("").size(), 'b') + "/";
  struct Row {
    const char* what;
    std::string base;
    std::string sub;
    uint32_t want;
  };
  const Row rows[] = {
      {"base without trailing slash", box_.Path("mail"), "new/", ERROR_INVALID_PARAMETER},
      {"base of one character", "/", "new/", ERROR_INVALID_PARAMETER},
      {"sub-directory without trailing slash", base_, "new", ERROR_INVALID_PARAMETER},
      {"sub-directory of one character", base_, "/", ERROR_INVALID_PARAMETER},
      {"empty sub-directory", base_, "", ERROR_INVALID_PARAMETER},
      {"combined 260 characters", long_base, std::string(259 - long_base.size(), 's') + "/",
       ERROR_BUFFER_OVERFLOW},
      {"combined path leaves no room for the counter", long_base,
       std::string(248 - long_base.size(), 's') + "/", ERROR_BUFFER_OVERFLOW},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    uint32_t moved = 1;
    char new_name[PELLAM_MAX_PATH] = "junk";
    EXPECT_EQ(MoveOrCopy(source_.c_str(), row.base.c_str(), row.sub.c_str(), &moved, new_name, 1), row.want);
    EXPECT_EQ(moved, 0u);
    EXPECT_STREQ(new_name, "");
    EXPECT_EQ(ReadTextFile(source_), kContent);
    EXPECT_FALSE(fs::exists(long_base));
  }
  EXPECT_EQ(Messages(), Names{});
  EXPECT_EQ(MoveOrCopy(source_.c_str(), base_.c_str(), "new/", nullptr, nullptr, 0), ERROR_INVALID_PARAMETER);
  uint32_t moved = 0;
  EXPECT_EQ(MoveOrCopy(nullptr, base_.c_str(), "new/", &moved, nullptr, 0), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(MoveOrCopy(source_.c_str(), nullptr, "new/", &moved, nullptr, 0), ERROR_INVALID_PARAMETER);
}

TEST_F(Delivery, DirectoriesAreCreatedOnlyWhenAsked) {
  uint32_t moved = 0;
  EXPECT_EQ(MoveOrCopy(source_.c_str(), base_.c_str(), "work/projects/", &moved, nullptr, 0), ERROR_PATH_NOT_FOUND)
      << "the counter's open finds no folder";
  EXPECT_FALSE(fs::exists(base_ + "work"));

  const std::string fresh = box_.Path("fresh/");
  char new_name[PELLAM_MAX_PATH];
  ASSERT_EQ(MoveOrCopy(source_.c_str(), fresh.c_str(), "work/projects/", &moved, new_name, 1), 0u);
  EXPECT_EQ(std::string(new_name), fresh + "work/projects/msg0001.mai");

  // The base directory's own parent is not created.
  const std::string orphan = box_.Path("no/such/base/");
  EXPECT_EQ(MoveOrCopy(source_.c_str(), orphan.c_str(), "new/", &moved, nullptr, 1), ERROR_PATH_NOT_FOUND);

  // A level that exists as a file ends the call with the counter's open.
  WriteTextFile(base_ + "plain", "x");
  EXPECT_EQ(MoveOrCopy(source_.c_str(), base_.c_str(), "plain/sub/", &moved, nullptr, 1), ERROR_PATH_NOT_FOUND);
}

TEST_F(Delivery, AMoveThatIsRefusedBecomesACopy) {
  for (uint32_t refusal : {ERROR_NOT_SAME_DEVICE, ERROR_ACCESS_DENIED}) {
    SCOPED_TRACE(refusal);
    platform::fault::Scope faults;
    platform::fault::FailNth(Op::Move, 1, refusal);
    std::string name;
    ASSERT_EQ(Place(true, &name), 0u);
    EXPECT_EQ(moved_, 0u);
    EXPECT_EQ(ReadTextFile(source_), kContent);
    EXPECT_EQ(ReadTextFile(folder_ + name), kContent);
    EXPECT_EQ(platform::fault::Calls(Op::Move), 1u) << "later attempts copy without trying to move";
  }
}

TEST_F(Delivery, EveryFileOperationFailingInTurn) {
  struct Row {
    const char* what;
    Op op;
    unsigned nth;
    bool move;
    bool rebuild;  // no counter file, so the folder is searched
  };
  const Row rows[] = {
      {"counter open", Op::Open, 1, true, false},
      {"counter lock", Op::Lock, 1, true, false},
      {"counter read", Op::Read, 1, true, false},
      {"folder search while rebuilding", Op::Open, 2, true, true},
      {"counter positioning", Op::Seek, 1, true, false},
      {"counter write", Op::Write, 1, true, false},
      {"counter truncation", Op::Seek, 2, true, false},
      {"counter close", Op::Close, 1, true, false},
      {"copy", Op::Copy, 1, false, false},
      {"copy after a refused move", Op::Copy, 1, true, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    if (!row.rebuild) WriteTextFile(folder_ + "#serial.dat", "5\r\n");
    platform::fault::Scope faults;
    if (row.op == Op::Copy && row.move) platform::fault::FailNth(Op::Move, 1, ERROR_NOT_SAME_DEVICE);
    platform::fault::FailNth(row.op, row.nth, ERROR_IO_DEVICE);
    EXPECT_EQ(Place(row.move), ERROR_IO_DEVICE);
    EXPECT_EQ(moved_, 0u);
    EXPECT_EQ(ReadTextFile(source_), kContent) << "the source stays whole";
    EXPECT_EQ(Messages(), Names{}) << "nothing placed";
    platform::fault::Clear();
    // The failure left nothing that spoils the next placement.
    std::string name;
    ASSERT_EQ(Place(false, &name), 0u);
    EXPECT_EQ(ReadTextFile(folder_ + name), kContent);
  }
}

TEST_F(Delivery, AFailedFolderFlushStillSaysWhereTheFileWent) {
  platform::fault::Scope faults;
  platform::fault::FailNth(Op::Flush, 1, ERROR_IO_DEVICE);
  uint32_t moved = 1;
  char new_name[PELLAM_MAX_PATH];
  EXPECT_EQ(MoveOrCopy(source_.c_str(), base_.c_str(), "new/", &moved, new_name, 0), ERROR_IO_DEVICE);
  EXPECT_EQ(moved, 1u);
  EXPECT_EQ(ReadTextFile(new_name), kContent);
}

TEST_F(Delivery, APlantedLinkIsNeverWrittenThrough) {
  const std::string elsewhere = box_.Path("elsewhere.txt");
  WriteTextFile(elsewhere, "precious");
  fs::create_symlink(elsewhere, folder_ + "#serial.dat");
  EXPECT_EQ(Place(true), ERROR_ACCESS_DENIED);
  EXPECT_EQ(ReadTextFile(elsewhere), "precious");
  EXPECT_EQ(ReadTextFile(source_), kContent);

  // A message name taken by a link is skipped, the link left alone.
  fs::remove(folder_ + "#serial.dat");
  fs::create_symlink(elsewhere, folder_ + "msg0001.mai");
  std::string name;
  ASSERT_EQ(Place(false, &name), 0u);
  EXPECT_EQ(name, "msg0002.mai");
  EXPECT_EQ(ReadTextFile(elsewhere), "precious");
}

TEST_F(Delivery, AFolderWithEveryNumberTakenReportsTheExistingTarget) {
  for (int i = 1; i <= 9999; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "msg%04d.mai", i);
    const int fd = ::open((folder_ + name).c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ::close(fd);
  }
  EXPECT_EQ(Place(true), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(Place(false), ERROR_FILE_EXISTS);
  EXPECT_EQ(ReadTextFile(source_), kContent);
}

// A child that holds the counter open with no sharing for `hold_ms`; returns its pid
// once the counter is held.
pid_t HoldCounter(const std::string& counter, unsigned hold_ms) {
  int ready[2];
  if (::pipe(ready) != 0) return -1;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(ready[0]);
    const int fd = platform::CreateFile(counter.c_str(), platform::kReadWrite, platform::kShareNone,
                                        platform::kOpenAlways);
    const char held = fd == platform::kInvalidFile ? 'n' : 'y';
    if (::write(ready[1], &held, 1) != 1) ::_exit(2);
    ::usleep(hold_ms * 1000);
    ::_exit(0);
  }
  ::close(ready[1]);
  char held = 'n';
  if (::read(ready[0], &held, 1) != 1 || held != 'y') {
    ADD_FAILURE() << "the child could not hold the counter";
  }
  ::close(ready[0]);
  return pid;
}

void Reap(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
}

TEST_F(Delivery, ACounterHeldByAnotherProcessIsWaitedOut) {
  pellam::delivery::SetCounterWait(20, 5000);
  const auto start = std::chrono::steady_clock::now();
  const pid_t holder = HoldCounter(folder_ + "#serial.dat", 300);
  std::string name;
  EXPECT_EQ(Place(true, &name), 0u);
  const auto waited = std::chrono::steady_clock::now() - start;
  Reap(holder);
  EXPECT_EQ(name, "msg0001.mai");
  EXPECT_GE(waited, std::chrono::milliseconds(250)) << "placed while the counter was held";
}

TEST_F(Delivery, ACounterHeldPastTheLimitIsASharingViolation) {
  pellam::delivery::SetCounterWait(20, 200);
  const pid_t holder = HoldCounter(folder_ + "#serial.dat", 1500);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Place(true), ERROR_SHARING_VIOLATION);
  const auto waited = std::chrono::steady_clock::now() - start;
  Reap(holder);
  EXPECT_GE(waited, std::chrono::milliseconds(200));
  EXPECT_LT(waited, std::chrono::milliseconds(1400)) << "gave up at the limit, not when the holder let go";
  EXPECT_EQ(ReadTextFile(source_), kContent);
  EXPECT_EQ(Messages(), Names{});
}

TEST_F(Delivery, FourProcessesFilingIntoOneFolder) {
  constexpr int kProcesses = 4;
  constexpr int kEach = 2000;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    const std::string own = box_.Path("out" + std::to_string(p) + "/");
    fs::create_directories(own);
    const pid_t pid = ::fork();
    if (pid == 0) {
      for (int i = 0; i < kEach; ++i) {
        const std::string source = own + "m.txt";
        const std::string body = "process " + std::to_string(p) + " message " + std::to_string(i) + "\r\n";
        const int fd = ::open(source.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0600);
        if (fd < 0 || ::write(fd, body.data(), body.size()) != static_cast<ssize_t>(body.size())) ::_exit(3);
        ::close(fd);
        uint32_t moved = 1;
        if (MoveOrCopy(source.c_str(), base_.c_str(), "new/", &moved, nullptr, 1) != 0 || moved != 1) ::_exit(4);
      }
      ::_exit(0);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
  }
  const Names names = Messages();
  ASSERT_EQ(names.size(), static_cast<size_t>(kProcesses * kEach));
  std::set<std::string> bodies;
  for (const auto& name : names) bodies.insert(ReadTextFile(folder_ + name));
  EXPECT_EQ(bodies.size(), names.size()) << "every message whole and none twice";
  for (int p = 0; p < kProcesses; ++p) {
    for (int i = 0; i < kEach; i += 499) {
      const std::string body = "process " + std::to_string(p) + " message " + std::to_string(i) + "\r\n";
      EXPECT_EQ(bodies.count(body), 1u) << body;
    }
  }
  EXPECT_EQ(names.front(), "msg0001.mai");
  EXPECT_EQ(names.back(), "msg8000.mai") << "the numbers 1 to 8000, each once";
  EXPECT_EQ(Counter(), "8000\r\n");
}

TEST_F(Delivery, DeliverMailFilesIntoNew) {
  MailProfile profile{};
  uint32_t moved = 1;
  EXPECT_EQ(DeliverMail(source_.c_str(), &profile, &moved), ERR_NO_MAIL_DIRECTORY);
  EXPECT_EQ(moved, 0u);

  // The mail directory and "new" are created as needed.
  std::strcpy(profile.MailDirectory, box_.Path("home/ann/mail/").c_str());
  fs::create_directories(box_.Path("home/ann"));
  moved = 1;
  ASSERT_EQ(DeliverMail(source_.c_str(), &profile, &moved), 0u);
  EXPECT_EQ(moved, 1u);
  EXPECT_EQ(ReadTextFile(box_.Path("home/ann/mail/new/msg0001.mai")), kContent);

  WriteTextFile(source_, kContent);
  moved = 0;
  ASSERT_EQ(DeliverMail(source_.c_str(), &profile, &moved), 0u);
  EXPECT_EQ(moved, 0u);
  EXPECT_TRUE(fs::exists(source_));
  EXPECT_EQ(ReadTextFile(box_.Path("home/ann/mail/new/msg0002.mai")), kContent);

  EXPECT_EQ(DeliverMail(source_.c_str(), nullptr, &moved), ERROR_INVALID_PARAMETER);
}

// A batch takes its numbers from the counter in one go; numbers skipped for files that
// are there, and the wrap after 9999, refill the block for the files still to come.
TEST_F(Delivery, ABatchTakesItsNumbersInOneGo) {
  MailProfile profile{};
  std::strcpy(profile.MailDirectory, base_.c_str());
  const auto sources = [&](int count) {
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) {
      names.push_back(box_.Path("staged" + std::to_string(i)));
      WriteTextFile(names.back(), "message " + std::to_string(i));
    }
    return names;
  };
  const auto deliver = [&](const std::vector<std::string>& names) {
    const auto results = pellam::delivery::DeliverMailFiles(names, profile);
    for (const auto& r : results) EXPECT_EQ(r.code, 0u);
    return results.size();
  };

  WriteTextFile(folder_ + "#serial.dat", "20\r\n");
  {
    platform::fault::Scope counting;
    ASSERT_EQ(deliver(sources(50)), 50u);
    EXPECT_EQ(platform::fault::Calls(Op::Lock), 1u) << "the counter opened once for the batch";
  }
  EXPECT_EQ(Counter(), "70\r\n");
  Names want;
  for (int n = 21; n <= 70; ++n) want.push_back("msg00" + std::to_string(n) + ".mai");
  EXPECT_EQ(Messages(), want);
  EXPECT_EQ(ReadTextFile(folder_ + "msg0021.mai"), "message 0");
  EXPECT_EQ(ReadTextFile(folder_ + "msg0070.mai"), "message 49");

  fs::remove_all(folder_);
  fs::create_directories(folder_);
  WriteTextFile(folder_ + "#serial.dat", "9997\r\n");
  WriteTextFile(folder_ + "msg9999.mai", "old");
  WriteTextFile(folder_ + "msg0002.mai", "old");
  ASSERT_EQ(deliver(sources(5)), 5u);
  EXPECT_EQ(Messages(), (Names{"msg0001.mai", "msg0002.mai", "msg0003.mai", "msg0004.mai", "msg0005.mai",
                               "msg9998.mai", "msg9999.mai"}));
  EXPECT_EQ(ReadTextFile(folder_ + "msg9998.mai"), "message 0");
  EXPECT_EQ(ReadTextFile(folder_ + "msg0001.mai"), "message 1");
  EXPECT_EQ(ReadTextFile(folder_ + "msg0002.mai"), "old");
  EXPECT_EQ(ReadTextFile(folder_ + "msg0003.mai"), "message 2");
  EXPECT_EQ(ReadTextFile(folder_ + "msg0005.mai"), "message 4");
  EXPECT_EQ(ReadTextFile(folder_ + "msg9999.mai"), "old");
  EXPECT_EQ(Counter(), "5\r\n");
}

TEST_F(Delivery, MoveMailFileDeletesTheSourceOfACopy) {
  platform::fault::Scope faults;
  platform::fault::FailNth(Op::Move, 1, ERROR_NOT_SAME_DEVICE);
  char new_name[PELLAM_MAX_PATH];
  ASSERT_EQ(MoveMailFile(source_.c_str(), base_.c_str(), "main/", new_name, 1), 0u);
  EXPECT_FALSE(fs::exists(source_));
  EXPECT_EQ(ReadTextFile(new_name), kContent);

  // The source cannot be deleted: that is the result, and the copy stays.
  WriteTextFile(source_, kContent);
  platform::fault::FailNth(Op::Move, 1, ERROR_NOT_SAME_DEVICE);
  platform::fault::FailNth(Op::Delete, 1, ERROR_ACCESS_DENIED);
  platform::SetLastError(0);
  EXPECT_EQ(MoveMailFile(source_.c_str(), base_.c_str(), "main/", new_name, 1), ERROR_ACCESS_DENIED);
  EXPECT_EQ(platform::GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(ReadTextFile(source_), kContent);
  EXPECT_EQ(ReadTextFile(new_name), kContent);

  // A placement failure is the last-error value too.
  platform::SetLastError(0);
  EXPECT_EQ(MoveMailFile(source_.c_str(), "bad", "main/", new_name, 1), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(platform::GetLastError(), ERROR_INVALID_PARAMETER);
}

class Forward : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = sandbox_.box().Path("received.mai");
    WriteTextFile(path_, kHeader + std::string(kText));
    file_ = ::open(path_.c_str(), O_RDONLY);
    ASSERT_GE(file_, 0);
    ::lseek(file_, 17, SEEK_SET);  // anywhere: forwarding starts from the beginning
  }
  void TearDown() override { ::close(file_); }

  static constexpr const char* kHeader = "Received: by NODEA; 12 Jan 1995 10:20:30\r\nFrom: SMITH\r\n\r\n";
  static constexpr const char* kText = "the text\r\n";
  pellam::test::PostingSandbox sandbox_;
  std::string path_;
  int file_ = -1;
};

TEST_F(Forward, OneCopyToTheSelectedRecordsTakenLiterally) {
  MailProfile a{}, b{}, c{};
  a.Next = &b;
  b.Next = &c;
  std::strcpy(a.AccountName, "NODEB::JONES");
  std::strcpy(b.AccountName, "skipped");
  std::strcpy(c.AccountName, "USER@HOST");
  a.Selected = 1;
  c.Selected = 7;
  ASSERT_EQ(ForwardMail(file_, static_cast<uint32_t>(std::strlen(kHeader)), &a), 0u);
  const auto posted = sandbox_.Posted();
  EXPECT_EQ(pellam::test::RecordTexts(posted.items), (Names{"NODEB::JONES", "USER@HOST"}));
  EXPECT_EQ(posted.header(), kHeader) << "the received message's own header lines";
  EXPECT_EQ(posted.text(), kText);
  EXPECT_EQ(sandbox_.TempFiles(), Names{});
}

TEST_F(Forward, NothingSelectedSendsNothing) {
  MailProfile a{};
  std::strcpy(a.AccountName, "JONES");
  EXPECT_EQ(ForwardMail(file_, 10, &a), 0u);
  EXPECT_EQ(ForwardMail(file_, 10, nullptr), 0u);
  EXPECT_EQ(sandbox_.QueueFiles(), Names{});
  EXPECT_EQ(sandbox_.TempFiles(), Names{});
}

TEST_F(Forward, FailuresLeaveNothingInTheQueue) {
  MailProfile a{};
  a.Selected = 1;
  std::strcpy(a.AccountName, "SMITH JONES");  // two addresses where one is allowed
  EXPECT_EQ(ForwardMail(file_, 10, &a), ERR_REMOTE_LIST);

  std::strcpy(a.AccountName, "JONES");
  EXPECT_NE(ForwardMail(-1, 10, &a), 0u) << "no file to copy from";

  {
    platform::fault::Scope faults;
    platform::fault::FailNth(Op::Read, 1, ERROR_IO_DEVICE);
    EXPECT_EQ(ForwardMail(file_, 10, &a), ERROR_IO_DEVICE);
  }
  {
    platform::fault::Scope faults;
    platform::fault::FailNth(Op::Move, 1, ERROR_DISK_FULL);  // posting's rename
    EXPECT_EQ(ForwardMail(file_, 10, &a), ERROR_DISK_FULL);
  }
  MailProfile loop{};
  loop.Selected = 1;
  std::strcpy(loop.AccountName, "JONES");
  loop.Next = &loop;
  EXPECT_EQ(ForwardMail(file_, 10, &loop), ERROR_INVALID_PARAMETER) << "a chain that never ends";
  EXPECT_EQ(sandbox_.QueueFiles(), Names{});
  EXPECT_EQ(sandbox_.TempFiles(), Names{});
}

TEST(ForwardWithoutParameters, CreateFailureIsTheResult) {
  Sandbox box;
  MailProfile a{};
  a.Selected = 1;
  std::strcpy(a.AccountName, "JONES");
  EXPECT_EQ(ForwardMail(0, 0, &a), ERR_NO_PARAMETERS);
}

}  // namespace
