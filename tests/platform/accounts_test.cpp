// Accounts from a sandbox's passwd file and from the system, SID strings, and the
// computer name's rules.
#include "platform/accounts.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "needs_root.h"
#include "platform/errors.h"
#include "platform/fault.h"
#include "platform/sandbox.h"
#include "sandbox.h"

namespace {

using pellam::test::Sandbox;
using platform::Account;

TEST(Accounts, SandboxAccountsHaveNameUidFullNameAndAHomeInsideTheRoot) {
  Sandbox sandbox;
  sandbox.AddUser("ann", 2001, "Ann Smith", "/home/ann");
  Account by_name;
  ASSERT_EQ(platform::LookupAccountByName("ann", &by_name), 0u);
  EXPECT_EQ(by_name.name, "ann");
  EXPECT_EQ(by_name.uid, 2001u);
  EXPECT_EQ(by_name.gid, 2001u);
  EXPECT_EQ(by_name.full_name, "Ann Smith");  // "Ann Smith,,," in the file
  EXPECT_EQ(by_name.home, sandbox.Path("/home/ann"));
  Account by_uid;
  ASSERT_EQ(platform::LookupAccountByUid(2001, &by_uid), 0u);
  EXPECT_EQ(by_uid.name, "ann");
  EXPECT_EQ(by_uid.home, by_name.home);
}

TEST(Accounts, MalformedLinesAreSkippedAndTheOthersRead) {
  Sandbox sandbox;
  pellam::test::WriteTextFile(sandbox.Path("/etc/passwd"),
                              "no colons at all\n"
                              ":x:3000:3000:Empty Name:/home/empty:/bin/sh\n"
                              "short:x:3001:3001:Six Fields:/home/short\n"
                              "long:x:3002:3002:Eight Fields:/home/long:/bin/sh:extra\n"
                              "neg:x:-3:3003:Negative:/home/neg:/bin/sh\n"
                              "big:x:4294967296:3004:Too Big:/home/big:/bin/sh\n"
                              "alpha:x:30a5:3005:Letters:/home/alpha:/bin/sh\n"
                              "nogid:x:3006::No Group:/home/nogid:/bin/sh\n"
                              "+nis:x:3007:3007:Inclusion:/home/nis:/bin/sh\n"
                              "\n"
                              "good:x:3010:3011:Good User,Room 7,555-1234:/home/good/:/bin/sh\n"
                              "nohome:x:3012:3012:No Home::/bin/sh\n"
                              "nogecos:x:3013:3013::/srv/nogecos:/bin/false\n"
                              "good:x:3014:3014:Second Good:/home/second:/bin/sh\n"
                              "last:x:3015:3015:No Newline:/home/last:/bin/sh");
  struct Row {
    const char* name;
    uint32_t code;
    uint32_t uid;
    const char* full_name;
    const char* home;  // inside the root; "" for none
  };
  const Row rows[] = {
      {"short", ERROR_NONE_MAPPED, 0, "", ""},
      {"long", ERROR_NONE_MAPPED, 0, "", ""},
      {"neg", ERROR_NONE_MAPPED, 0, "", ""},
      {"big", ERROR_NONE_MAPPED, 0, "", ""},
      {"alpha", ERROR_NONE_MAPPED, 0, "", ""},
      {"nogid", ERROR_NONE_MAPPED, 0, "", ""},
      {"+nis", ERROR_NONE_MAPPED, 0, "", ""},
      {"no colons at all", ERROR_NONE_MAPPED, 0, "", ""},
      {"good", 0, 3010, "Good User", "/home/good"},  // the first of two lines wins
      {"nohome", 0, 3012, "No Home", ""},
      {"nogecos", 0, 3013, "", "/srv/nogecos"},
      {"last", 0, 3015, "No Newline", "/home/last"},
      {"Good", ERROR_NONE_MAPPED, 0, "", ""},  // account names are case-sensitive
  };
  for (const Row& row : rows) {
    Account a;
    uint32_t code = platform::LookupAccountByName(row.name, &a);
    EXPECT_EQ(code, row.code) << row.name;
    if (code != 0 || row.code != 0) continue;
    std::string home = *row.home ? sandbox.Path(row.home) : "";
    EXPECT_EQ(a.uid, row.uid) << row.name;
    EXPECT_EQ(a.full_name, row.full_name) << row.name;
    EXPECT_EQ(a.home, home) << row.name;
  }
  Account a;
  EXPECT_EQ(platform::LookupAccountByUid(3000, &a), ERROR_NONE_MAPPED) << "line with an empty name";
  EXPECT_EQ(platform::LookupAccountByUid(3011, &a), ERROR_NONE_MAPPED) << "a gid is not a uid";
  ASSERT_EQ(platform::LookupAccountByUid(3010, &a), 0u);
  EXPECT_EQ(a.gid, 3011u);
}

// Look-ups by uid keep their last answer while the database is unchanged; any rewrite
// (in place with the same length, or a new file renamed over it) is seen at once.
TEST(Accounts, AChangedDatabaseIsSeenByTheNextLookUp) {
  Sandbox sandbox;
  const std::string database = sandbox.Path("/etc/passwd");
  pellam::test::WriteTextFile(database, "ann:x:2001:2001:Ann:/home/aaa:/bin/sh\n");
  // A file changed in the last moments is never trusted to show its next change in
  // its times, and is read afresh every time: the answers are kept only once it is older.
  std::this_thread::sleep_for(std::chrono::milliseconds(2100));
  Account a;
  ASSERT_EQ(platform::LookupAccountByUid(2001, &a), 0u);
  EXPECT_EQ(a.home, sandbox.Path("/home/aaa"));
  ASSERT_EQ(platform::LookupAccountByUid(2001, &a), 0u);
  EXPECT_EQ(a.home, sandbox.Path("/home/aaa"));

  // The same length, written into the same file.
  {
    FILE* f = std::fopen(database.c_str(), "r+");
    ASSERT_NE(f, nullptr);
    std::fputs("ann:x:2001:2001:Ann:/home/bbb:/bin/sh\n", f);
    std::fclose(f);
  }
  ASSERT_EQ(platform::LookupAccountByUid(2001, &a), 0u);
  EXPECT_EQ(a.home, sandbox.Path("/home/bbb"));

  const std::string fresh = database + ".new";
  pellam::test::WriteTextFile(fresh, "ann:x:2001:2001:Ann:/home/ccc:/bin/sh\n");
  ASSERT_EQ(::rename(fresh.c_str(), database.c_str()), 0);
  ASSERT_EQ(platform::LookupAccountByUid(2001, &a), 0u);
  EXPECT_EQ(a.home, sandbox.Path("/home/ccc"));

  pellam::test::WriteTextFile(database, "bob:x:2002:2002:Bob:/home/bob:/bin/sh\n");
  EXPECT_EQ(platform::LookupAccountByUid(2001, &a), ERROR_NONE_MAPPED) << "ann is gone";
  ASSERT_EQ(::unlink(database.c_str()), 0);
  EXPECT_EQ(platform::LookupAccountByUid(2002, &a), ERROR_FILE_NOT_FOUND);
}

TEST(Accounts, UnknownNamesAndGroupNamesAreNotFound) {
  Sandbox sandbox;
  sandbox.AddUser("ann", 2001, "Ann Smith", "/home/ann");
  pellam::test::WriteTextFile(sandbox.Path("/etc/group"), "staff:x:50:ann\n");
  Account a;
  for (const char* name : {"staff", "bob", "", "ann:x", "an"}) {
    EXPECT_EQ(platform::LookupAccountByName(name, &a), ERROR_NONE_MAPPED) << '"' << name << '"';
  }
  EXPECT_EQ(platform::LookupAccountByUid(50, &a), ERROR_NONE_MAPPED);
  EXPECT_EQ(platform::LookupAccountByName(nullptr, &a), ERROR_INVALID_PARAMETER);
}

TEST(Accounts, AnUnreadableDatabaseGivesItsCode) {
  Sandbox sandbox;
  sandbox.AddUser("ann", 2001, "Ann Smith", "/home/ann");
  ::chmod(sandbox.root().c_str(), 0755);
  Account a;
  {
    platform::fault::Scope faults;
    platform::fault::FailNth(platform::fault::Op::Account, 1, ERROR_IO_DEVICE);
    EXPECT_EQ(platform::LookupAccountByName("ann", &a), ERROR_IO_DEVICE);
    EXPECT_EQ(platform::LookupAccountByName("ann", &a), 0u) << "only the first call fails";
    platform::fault::FailNth(platform::fault::Op::Account, 1, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(platform::LookupAccountByUid(2001, &a), ERROR_NOT_ENOUGH_MEMORY);
  }
  ASSERT_EQ(::unlink(sandbox.Path("/etc/passwd").c_str()), 0);
  EXPECT_EQ(platform::LookupAccountByName("ann", &a), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(platform::LookupAccountByUid(2001, &a), ERROR_FILE_NOT_FOUND);
}

TEST(Accounts, ADatabaseOthersMayNotReadIsAccessDenied) {
  PELLAM_NEEDS_ROOT("reads the database as another account");
  Sandbox sandbox;
  sandbox.AddUser("ann", 2001, "Ann Smith", "/home/ann");
  ::chmod(sandbox.root().c_str(), 0755);
  ::chmod(sandbox.Path("/etc/passwd").c_str(), 0600);
  int code = pellam::test::RunAsUser(2001, 2001, [] {
    Account b;
    return static_cast<int>(platform::LookupAccountByName("ann", &b));
  });
  EXPECT_EQ(code, static_cast<int>(ERROR_ACCESS_DENIED));
}

TEST(Accounts, TheCurrentAccountIsTheEffectiveUid) {
  Sandbox sandbox;
  sandbox.AddCurrentUser("tester", "Test User");
  sandbox.AddUser("ann", 2001, "Ann Smith", "/home/ann");
  ::chmod(sandbox.root().c_str(), 0755);
  Account me;
  ASSERT_EQ(platform::CurrentAccount(&me), 0u);
  EXPECT_EQ(me.name, "tester");
  EXPECT_EQ(me.uid, ::geteuid());
}

TEST(Accounts, AfterAnIdentitySwitchTheCurrentAccountIsTheNewOne) {
  PELLAM_NEEDS_ROOT("switches identity");
  Sandbox sandbox;
  sandbox.AddUser("ann", 2001, "Ann Smith", "/home/ann");
  ::chmod(sandbox.root().c_str(), 0755);
  int code = pellam::test::RunAsUser(2001, 2001, [] {
    Account a;
    if (platform::CurrentAccount(&a) != 0) return 1;
    return a.name == "ann" ? 0 : 2;
  });
  EXPECT_EQ(code, 0);
}

TEST(Accounts, WithoutASandboxTheSystemDatabaseIsUsed) {
  ASSERT_TRUE(platform::SandboxRoot().empty());
  Account root;
  ASSERT_EQ(platform::LookupAccountByName("root", &root), 0u);
  EXPECT_EQ(root.uid, 0u);
  EXPECT_EQ(root.home, "/root");
  Account by_uid;
  ASSERT_EQ(platform::LookupAccountByUid(0, &by_uid), 0u);
  EXPECT_EQ(by_uid.name, "root");
  EXPECT_EQ(platform::LookupAccountByName("no-such-user-pellam", &by_uid), ERROR_NONE_MAPPED);
}

TEST(Sid, StringsConvertBothWays) {
  EXPECT_EQ(platform::SidString(0), "S-1-22-1-0");
  EXPECT_EQ(platform::SidString(1000), "S-1-22-1-1000");
  EXPECT_EQ(platform::SidString(4294967295u), "S-1-22-1-4294967295");
  struct Row {
    const char* text;
    bool ok;
    uint32_t uid;
  };
  const Row rows[] = {
      {"S-1-22-1-1000", true, 1000},
      {"s-1-22-1-1000", true, 1000},  // key names ignore case
      {"S-1-22-1-0", true, 0},
      {"S-1-22-1-4294967295", true, 4294967295u},
      {"S-1-22-1-4294967296", false, 0},
      {"S-1-22-1-01", false, 0},
      {"S-1-22-1-", false, 0},
      {"S-1-22-1-12a", false, 0},
      {"S-1-22-1--1", false, 0},
      {"S-1-22-1-+1", false, 0},
      {"S-1-22-1-1000 ", false, 0},
      {"S-1-22-2-1000", false, 0},
      {"S-1-5-21-1000", false, 0},
      {"S-1-22-1", false, 0},
      {"", false, 0},
  };
  for (const Row& row : rows) {
    uint32_t uid = 77;
    bool ok = platform::ParseSidString(row.text, &uid);
    EXPECT_EQ(ok, row.ok) << '"' << row.text << '"';
    if (ok && row.ok) {
      EXPECT_EQ(uid, row.uid) << row.text;
    }
  }
  uint32_t uid = 0;
  EXPECT_FALSE(platform::ParseSidString(nullptr, &uid));
  for (uint32_t u : {0u, 7u, 65534u, 4294967295u}) {
    ASSERT_TRUE(platform::ParseSidString(platform::SidString(u).c_str(), &uid)) << u;
    EXPECT_EQ(uid, u);
  }
}

TEST(ComputerName, HostNameUpToTheFirstDotInCapitalsAtMost15) {
  // Each host name is set in a private UTS namespace of a child, never on the machine.
  int failures = pellam::test::RunInChild([] {
    if (::unshare(CLONE_NEWUTS) != 0) return 77;
    struct Row {
      const char* host;
      const char* want;
    };
    const Row rows[] = {
        {"mailhost.example.org", "MAILHOST"},
        {"vax", "VAX"},
        {"MiXeD-Case7", "MIXED-CASE7"},
        {"averyveryverylonghostname", "AVERYVERYVERYLO"},
        {"abcdefghijklmnop.q", "ABCDEFGHIJKLMNO"},
        {"exactly15chars.x", "EXACTLY15CHARS"},
        {"fifteen-letters", "FIFTEEN-LETTERS"},
    };
    int bad = 0;
    for (const Row& row : rows) {
      if (::sethostname(row.host, std::char_traits<char>::length(row.host)) != 0) return 78;
      std::string got = platform::ComputerName();
      if (got != row.want) {
        std::fprintf(stderr, "host %s: got \"%s\", want \"%s\"\n", row.host, got.c_str(), row.want);
        ++bad;
      }
    }
    return bad;
  });
  if (failures == 77) GTEST_SKIP() << "no permission for a private UTS namespace";
  EXPECT_EQ(failures, 0);
}

}  // namespace
