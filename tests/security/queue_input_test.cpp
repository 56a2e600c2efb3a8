// What users can put into the queue and the temporary directory, both writable by
// all: a file too large to deliver, a directory, a FIFO, a link, a malformed file;
// and the temporary files of killed posters. Each unusable file is set aside with the
// real reason in the log and its owner is told; the library refuses at posting time
// what the service could not deliver; stale temporary files are removed and logged.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "compose/control_file_format.h"
#include "needs_root.h"
#include "pellam.h"
#include "service_sandbox.h"

namespace {

namespace fs = std::filesystem;
using pellam::test::HeaderValue;
using pellam::test::ServiceSandbox;
using Names = std::vector<std::string>;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class QueueInput : public ::testing::Test {
 protected:
  void SetUp() override {
    PELLAM_NEEDS_ROOT("the files belong to a real account with its own uid");
    s_.AddUser("bob", 1001);
    s_.AddUser("carl", 1002);
    ::chmod(s_.queue().c_str(), 01777);
    ::chmod(temp().c_str(), 01777);
  }
  std::string temp() { return s_.box().Path("spool/temp/"); }
  // Runs `make` as bob, so that what it makes is his.
  void AsBob(const std::function<bool()>& make) {
    ASSERT_EQ(pellam::test::RunAsUser(1001, 1001, [&] { return make() ? 0 : 1; }), 0);
  }
  ServiceSandbox s_;
};

std::string ValidFile() {
  pellam::control::ControlFile file;
  file.addresses.push_back({0, 0, 0, 4, ADDR_FORM_DECNET, "carl"});
  return pellam::control::EncodeControlFile(file, "From: bob\r\nSubject: s\r\n\r\n", "x\r\n");
}

bool Write(const std::string& path, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

TEST_F(QueueInput, AnUnusableFileIsSetAsideWithItsRealReasonAndItsOwnerIsTold) {
  std::string truncated = ValidFile();
  truncated.resize(60);  // cut inside item 5
  std::string bad_record = ValidFile();
  bad_record[72 + 4] = 'x';  // a reserved byte of the address record
  const std::string q = s_.queue();
  AsBob([&] {
    return ::mkdir((q + "adir.mai").c_str(), 0755) == 0 && ::mkfifo((q + "afifo.mai").c_str(), 0644) == 0 &&
           ::symlink("/etc/shadow", (q + "alink.mai").c_str()) == 0 && Write(q + "cut.mai", truncated) &&
           Write(q + "record.mai", bad_record) && Write(q + "huge.mai", "") &&
           ::truncate((q + "huge.mai").c_str(), (64 << 20) + 1) == 0;  // sparse: no disk used
  });
  s_.Drain();
  const struct {
    const char* file;
    std::string reason;
  } rows[] = {
      {"adir.mai", "a directory, not a control file"},
      {"afifo.mai", "a FIFO, not a control file"},
      {"alink.mai", "a link, not a control file"},
      {"cut.mai", "malformed at byte 60"},
      {"record.mai", "malformed at byte 76"},
      {"huge.mai", "too large: 67108865 bytes, more than the 67108864 that a message may have"},
  };
  const auto notices = s_.Contents("bob");
  for (const auto& row : rows) {
    SCOPED_TRACE(row.file);
    EXPECT_TRUE(Contains(s_.LogText(), std::string(row.file) + "\". / Invalid item or invalid format in Pellam control file. It is " +
                                           row.reason))
        << s_.LogText();
    int told = 0;
    for (const auto& n : notices) {
      if (HeaderValue(n, "Subject") != std::string("Undeliverable mail: ") + row.file) continue;
      ++told;
      EXPECT_TRUE(Contains(n, "it is " + row.reason)) << n;
    }
    EXPECT_EQ(told, 1);
  }
  EXPECT_EQ(s_.QueueFiles(), (Names{"adir.bad", "afifo.bad", "alink.bad", "cut.bad", "huge.bad", "record.bad"}));
  EXPECT_EQ(s_.Messages("carl"), Names{});
}

TEST_F(QueueInput, FilesOfRootOrOfNoAccountAreSetAsideWithNobodyToTell) {
  const std::string q = s_.queue();
  ASSERT_EQ(::mknod((q + "device.mai").c_str(), S_IFCHR | 0600, ::makedev(1, 3)), 0);
  pellam::test::WriteTextFile(q + "orphan.mai", ValidFile());
  ASSERT_EQ(::chown((q + "orphan.mai").c_str(), 4242, 4242), 0);  // a uid of no account
  s_.Drain();
  EXPECT_TRUE(Contains(s_.LogText(), "It is a device, not a control file (owner uid 0)")) << s_.LogText();
  EXPECT_TRUE(Contains(s_.LogText(), "It is owned by a uid that is no account (owner uid 4242)")) << s_.LogText();
  EXPECT_EQ(s_.QueueFiles(), (Names{"device.bad", "orphan.bad"}));
  EXPECT_EQ(s_.Messages("ann"), Names{});
  EXPECT_EQ(s_.Messages("carl"), Names{});
}

TEST_F(QueueInput, AReportRepeatsALargeMessagesHeaderSectionOnly) {
  const std::string text(2 << 20, 'x');
  s_.Post("To: nosuch\r\nSubject: big\r\n\r\n" + text);
  s_.Drain();
  const auto reports = s_.Contents("ann");
  ASSERT_EQ(reports.size(), 1u) << s_.LogText();
  EXPECT_TRUE(Contains(reports[0], "its text of 2097152 bytes is not repeated")) << reports[0].substr(0, 2000);
  EXPECT_TRUE(Contains(reports[0], "Subject: big\r\n\r\n"));
  EXPECT_LT(reports[0].size(), 10000u);
}

TEST_F(QueueInput, AMessageTooLargeToDeliverIsRefusedWhenItIsPosted) {
  const std::string path = s_.box().Path("big.txt");
  pellam::test::WriteTextFile(path, "To: carl\r\nSubject: big\r\n\r\n");
  ASSERT_EQ(::truncate(path.c_str(), (64 << 20) + 1), 0);
  ::chmod(path.c_str(), 0644);
  const int status = pellam::test::RunAsUser(1001, 1001, [&] {
    return SendMailMessageFromFile(path.c_str()) == ERR_TEXT_TOO_LARGE ? 0 : 1;
  });
  EXPECT_EQ(status, 0) << "the poster learns at once: ERR_TEXT_TOO_LARGE";
  EXPECT_EQ(s_.QueueFiles(), Names{});
  EXPECT_TRUE(fs::is_empty(temp())) << "nothing left behind";
}

TEST_F(QueueInput, StaleTemporaryFilesAreRemovedAndLogged) {
  const std::string t = temp();
  const std::string outside = s_.box().Path("outside.txt");
  pellam::test::WriteTextFile(outside, "root's");
  AsBob([&] {
    return Write(t + "sndAAAA.tmp", std::string(1000, 'a')) && Write(t + "sndBBBB.tmp", "fresh") &&
           ::symlink(outside.c_str(), (t + "sndCCCC.tmp").c_str()) == 0 && ::mkdir((t + "sndDDDD.tmp").c_str(), 0700) == 0 &&
           Write(t + "notes.txt", "not a temporary name");
  });
  const struct timeval two_days_ago[2] = {{::time(nullptr) - 2 * 86400, 0}, {::time(nullptr) - 2 * 86400, 0}};
  for (const char* name : {"sndAAAA.tmp", "sndCCCC.tmp", "sndDDDD.tmp", "notes.txt"}) {
    ASSERT_EQ(::lutimes((t + name).c_str(), two_days_ago), 0) << name;
  }
  s_.Drain();
  Names left;
  for (const auto& e : fs::directory_iterator(t)) left.push_back(e.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (Names{"notes.txt", "sndBBBB.tmp", "sndDDDD.tmp"}));
  EXPECT_EQ(pellam::test::ReadTextFile(outside), "root's") << "a link is removed, not followed";
  EXPECT_TRUE(Contains(s_.LogText(), "Removed the stale temporary file " + t + "sndAAAA.tmp: 1000 bytes of uid 1001"))
      << s_.LogText();
  EXPECT_TRUE(Contains(s_.LogText(), "Removed the stale temporary file " + t + "sndCCCC.tmp")) << s_.LogText();
}

}  // namespace
