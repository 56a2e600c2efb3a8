// The service's small parts, table by table: the delivered file's leading lines, the
// classification of addresses, what is read from a header section, the command line,
// and work done with a user's identity.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "delivered_message.h"
#include "message_info.h"
#include "needs_root.h"
#include "options.h"
#include "pellam.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "recipient.h"
#include "sandbox.h"
#include "user_process.h"

namespace {

using namespace pellam::service;

TEST(DeliveredMessage, TheLeadingLinesReadBackAsTheyWereWritten) {
  const std::time_t received = 1700000000;  // 14 Nov 2023
  const std::time_t posted = received - 3600;
  const std::string header = "From: ann  (Ann Smith)\r\nTo: bob\r\n\r\n";
  const DeliveredMessage m = BuildDeliveredMessage("NODEA", received, posted, false, header, "text\r\n");
  EXPECT_EQ(m.bytes.rfind("Received: by NODEA; " + MailDateText(received) + "\r\nDate: " + MailDateText(posted) +
                              "\r\n" + header + "text\r\n",
                          0),
            0u)
      << m.bytes;
  EXPECT_EQ(m.header_length, m.bytes.size() - 6);

  // The receive-date reader takes the Received value; the fields match local time.
  const char* names[] = {"Received"};
  char* values[1] = {};
  const char* text = m.bytes.data();
  int32_t length = static_cast<int32_t>(m.bytes.size());
  ASSERT_EQ(GetMailHeaders(&text, &length, 1, names, values), 0u);
  MailDate date{};
  ASSERT_EQ(ExtractReceiveDate(values[0], &date), 0u);
  FreeMailHeaders(1, values);
  std::tm local{};
  ::localtime_r(&received, &local);
  EXPECT_EQ(date.Year, local.tm_year + 1900);
  EXPECT_EQ(date.Month, local.tm_mon + 1);
  EXPECT_EQ(date.Day, local.tm_mday);
  EXPECT_EQ(date.DayOfWeek, local.tm_wday);
  EXPECT_EQ(date.Hour, local.tm_hour);
  EXPECT_EQ(date.Minute, local.tm_min);
  EXPECT_EQ(date.Second, local.tm_sec);

  // A message with a Date line of its own keeps it alone; an empty header section
  // still ends in the empty line.
  const DeliveredMessage dated = BuildDeliveredMessage("NODEA", received, posted, true, "Date: x\r\n\r\n", "t");
  EXPECT_EQ(dated.bytes.find("Date: " + MailDateText(posted)), std::string::npos);
  const DeliveredMessage bare = BuildDeliveredMessage("NODEA", received, posted, true, "", "t");
  EXPECT_EQ(bare.bytes.substr(bare.header_length - 4), "\r\n\r\nt");
}

TEST(DeliveredMessage, FileTimes) {
  EXPECT_EQ(FromFileTime(116444736000000000ull), 0);
  EXPECT_EQ(FromFileTime(116444736000000000ull + 10000000ull * 86400), 86400);
  EXPECT_EQ(FromFileTime(5), 0) << "before 1970";
}

TEST(Recipient, Classification) {
  struct Row {
    const char* address;
    RecipientKind kind;
    const char* user;
    const char* node;
  };
  const Row rows[] = {
      {"SMITH", RecipientKind::kLocal, "SMITH", ""},
      {"NODEA::SMITH", RecipientKind::kLocal, "SMITH", ""},
      {"nodea::NODEA::smith", RecipientKind::kLocal, "smith", ""},
      {"NODEB::SMITH", RecipientKind::kRemote, "NODEB::SMITH", "NODEB"},
      {"NODEA::NODEB::NODEC::SMITH", RecipientKind::kRemote, "NODEB::NODEC::SMITH", "NODEB"},
      {"user@host", RecipientKind::kExternal, "user@host", "host"},
      {"NODEA::user@host", RecipientKind::kExternal, "user@host", "host"},
      {"\"odd", RecipientKind::kInvalid, "", ""},
      {"NODEA::", RecipientKind::kInvalid, "", ""},
      {"@host", RecipientKind::kInvalid, "", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.address);
    const Recipient r = ClassifyRecipient(row.address, "NODEA");
    EXPECT_EQ(r.kind, row.kind);
    if (row.kind == RecipientKind::kInvalid) {
      EXPECT_NE(r.code, 0u);
      continue;
    }
    EXPECT_EQ(r.user, row.user);
    EXPECT_EQ(r.node, row.node);
  }
}

TEST(MessageInfo, WhatTheHeaderSectionTells) {
  struct Row {
    const char* header;
    const char* sender;
    const char* subject;
    bool automatic;
    bool has_date;
    uint32_t hops;
  };
  const Row rows[] = {
      {"From: ann  (Ann Smith)\r\nSubject: Hi\r\n\r\n", "ann", "Hi", false, false, 0},
      {"From: NODEB::SMITH\r\nDate: Mon, 1 Jan 2024 10:00:00\r\n\r\n", "NODEB::SMITH", "", false, true, 0},
      {"Received: by A; x\r\nreceived: by B; y\r\nFrom: x\r\n\r\n", "x", "", false, false, 2},
      {"From: PELLAM\r\nAuto-Submitted: auto-generated\r\n\r\n", "PELLAM", "", true, false, 0},
      {"From: a\r\nAuto-Submitted: No\r\n\r\n", "a", "", false, false, 0},
      {"Subject: no sender\r\n\r\n", "", "no sender", false, false, 0},
      {"not a header line\r\n\r\n", "", "", false, false, 0},
      {"", "", "", false, false, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.header);
    const MessageInfo info = ReadMessageInfo(row.header);
    EXPECT_EQ(info.sender, row.sender);
    EXPECT_EQ(info.subject, row.subject);
    EXPECT_EQ(info.automatic, row.automatic);
    EXPECT_EQ(info.has_date, row.has_date);
    EXPECT_EQ(info.hops, row.hops);
  }
}

TEST(Options, CommandLines) {
  struct Row {
    std::vector<const char*> args;
    bool foreground, help, version, error;
  };
  const Row rows[] = {
      {{"pellam"}, false, false, false, false},
      {{"pellam", "--foreground"}, true, false, false, false},
      {{"pellam", "--help"}, false, true, false, false},
      {{"pellam", "-h"}, false, true, false, false},
      {{"pellam", "--version"}, false, false, true, false},
      {{"pellam", "--foreground", "extra"}, true, false, false, true},
      {{"pellam", "-f"}, false, false, false, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.args.size() > 1 ? row.args.back() : "none");
    const Options o = ParseOptions(static_cast<int>(row.args.size()), row.args.data());
    EXPECT_EQ(o.foreground, row.foreground);
    EXPECT_EQ(o.help, row.help);
    EXPECT_EQ(o.version, row.version);
    EXPECT_EQ(!o.error.empty(), row.error);
  }
}

TEST(UserProcess, WorkRunsWithTheUsersIdentityAndReturnsItsResult) {
  PELLAM_NEEDS_ROOT("switches identity");
  pellam::test::Sandbox box;
  const std::string dir = box.Path("home/bob");
  box.AddUser("bob", 1001, "Bob", "/home/bob");
  platform::Account bob;
  ASSERT_EQ(platform::LookupAccountByName("bob", &bob), 0u);
  std::string data;
  const uint32_t code = RunAsUser(
      bob,
      [&](std::string* out) {
        *out = std::to_string(::getuid()) + " " + std::to_string(::getgid()) + " " + std::to_string(::geteuid());
        const std::string file = dir + "/made";
        platform::UniqueFile f(platform::CreateFile(file.c_str(), platform::kWrite, platform::kShareNone,
                                                    platform::kCreateNew, 0666));
        // Nothing of root's may be written: a file only root can write stays untouched.
        platform::UniqueFile r(platform::CreateFile((dir + "/../rootfile").c_str(), platform::kWrite,
                                                    platform::kShareNone, platform::kCreateNew));
        return f && !r ? 7u : 1u;
      },
      &data);
  EXPECT_EQ(code, 7u);
  EXPECT_EQ(data, "1001 1001 1001");
  struct stat st{};
  ASSERT_EQ(::stat((dir + "/made").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 1001u);
  EXPECT_EQ(st.st_mode & 0777, 0600u) << "the child's umask keeps files private";

  // The service's own descriptors (a locked journal, say) are not the user's: a child
  // holding one would keep a restarted service from the job.
  platform::UniqueFile held(platform::CreateFile(box.Path("journal").c_str(), platform::kReadWrite,
                                                 platform::kShareNone, platform::kOpenAlways));
  ASSERT_TRUE(held);
  const int fd = held.get();
  EXPECT_EQ(RunAsUser(bob, [fd](std::string*) { return ::fcntl(fd, F_GETFD) == -1 ? 0u : 1u; }), 0u);

  // A child that dies before it reports gives an internal error, never a success.
  EXPECT_EQ(RunAsUser(bob, [](std::string*) -> uint32_t { ::_exit(0); }), ERR_SERVICE_INTERNAL);
  EXPECT_EQ(RunAsUser(bob, [](std::string*) -> uint32_t { throw 1; }), ERR_SERVICE_INTERNAL);
}

}  // namespace
