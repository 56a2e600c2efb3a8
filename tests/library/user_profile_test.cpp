// Users' mail profiles: registration, defaults from the account, write semantics, and
// the look-up of another user by name.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "needs_root.h"
#include "pellam.h"
#include "platform/errors.h"
#include "platform/registry.h"
#include "sandbox.h"

namespace {

using pellam::test::RunAsUser;
using pellam::test::Sandbox;

class UserProfile : public ::testing::Test {
 protected:
  void SetUp() override {
    box_.AddCurrentUser("ann", "Ann Example,Room 1");
    box_.AddUser("bob", 1001, "Bob Builder", "/home/bob");
    box_.AddUser("nohome", 1002, "No Home", "");
  }

  // A value in the calling user's profile key, written directly into the store.
  void SetValue(const char* name, uint32_t type, const void* data, uint32_t size) {
    platform::UniqueKey key;
    ASSERT_EQ(platform::RegCreateKeyEx(platform::HKEY_CURRENT_USER, PELLAM_PARAMETERS_KEY, key.out()), 0u);
    ASSERT_EQ(platform::RegSetValueEx(key.get(), name, type, static_cast<const uint8_t*>(data), size), 0u);
  }
  void SetString(const char* name, const std::string& s) {
    SetValue(name, platform::REG_SZ, s.c_str(), static_cast<uint32_t>(s.size() + 1));
  }
  // The stored number, or -1 when the value is absent.
  int64_t StoredNumber(const char* name) {
    platform::UniqueKey key;
    if (platform::RegOpenKeyEx(platform::HKEY_CURRENT_USER, PELLAM_PARAMETERS_KEY, platform::KEY_READ,
                               key.out()) != 0) {
      return -1;
    }
    uint32_t v = 0, size = sizeof v, type = 0;
    if (platform::RegQueryValueEx(key.get(), name, &type, reinterpret_cast<uint8_t*>(&v), &size) != 0) {
      return -1;
    }
    return v;
  }

  Sandbox box_;
  MailProfile p_{};
};

TEST_F(UserProfile, TheFirstReadRegistersTheUser) {
  EXPECT_EQ(GetUserProfile(&p_, 1), ERR_NOT_REGISTERED);
  ASSERT_EQ(GetMailProfile(&p_, sizeof p_), 0u);
  EXPECT_STREQ(p_.AccountName, "ann");
  EXPECT_STREQ(p_.FullName, "Ann Example");
  EXPECT_EQ(std::string(p_.MailDirectory), box_.Path("home/ann/mail/"));
  EXPECT_STREQ(p_.Forward, "");
  EXPECT_EQ(p_.AutoReply, 0);
  EXPECT_EQ(p_.DisableNewMail, 0);
  EXPECT_EQ(StoredNumber("AutoReply"), 0);
  EXPECT_EQ(StoredNumber("DisableNewMail"), 0);
  EXPECT_EQ(GetUserProfile(&p_, 1), 0u);  // registered now
}

TEST_F(UserProfile, AnotherUserIsNotRegisteredUntilHeRunsAClient) {
  PELLAM_NEEDS_ROOT("registers another account as that account");
  ASSERT_EQ(GetMailProfile(&p_, sizeof p_), 0u);
  MailProfile other{};
  std::strcpy(other.AccountName, "bob");
  EXPECT_EQ(GetUserProfile(&other, 0), ERR_NOT_REGISTERED);
  ASSERT_EQ(RunAsUser(1001, 1001, [] {
              MailProfile mine{};
              return GetMailProfile(&mine, sizeof mine) == 0 ? 0 : 1;
            }),
            0);
  std::memset(&other, 0, sizeof other);
  std::strcpy(other.AccountName, "BOB");  // account names as the user database has them
  other.Next = &p_;
  other.Selected = 7;
  EXPECT_EQ(GetUserProfile(&other, 0), ERR_NO_SUCH_USER);
  std::strcpy(other.AccountName, "bob");
  ASSERT_EQ(GetUserProfile(&other, 0), 0u);
  EXPECT_STREQ(other.FullName, "Bob Builder");
  EXPECT_EQ(std::string(other.MailDirectory), box_.Path("home/bob/mail/"));
  EXPECT_EQ(other.Next, &p_);  // the caller's link is never touched
  EXPECT_EQ(other.Selected, 0u);
}

TEST_F(UserProfile, UnknownNamesAreNoSuchUser) {
  for (const char* name : {"nobody-here", "root-group", "ann:x"}) {
    MailProfile other{};
    std::strcpy(other.AccountName, name);
    EXPECT_EQ(GetUserProfile(&other, 0), ERR_NO_SUCH_USER) << name;
  }
}

TEST_F(UserProfile, StoredValuesWinOverTheAccount) {
  ASSERT_EQ(GetMailProfile(&p_, sizeof p_), 0u);
  SetString("FullName", "Ann E.");
  SetString("MailDirectory", "/srv/mail/ann");
  SetString("Forward", "NODE::ANN2");
  ASSERT_EQ(GetMailProfile(&p_, sizeof p_), 0u);
  EXPECT_STREQ(p_.FullName, "Ann E.");
  EXPECT_STREQ(p_.MailDirectory, "/srv/mail/ann/");
  EXPECT_STREQ(p_.Forward, "NODE::ANN2");
  SetString("Forward", "ANN");  // forwarding to oneself would loop
  ASSERT_EQ(GetMailProfile(&p_, sizeof p_), 0u);
  EXPECT_STREQ(p_.Forward, "");
}

TEST_F(UserProfile, UpdatesFollowTheWriteRules) {
  ASSERT_EQ(GetMailProfile(&p_, sizeof p_), 0u);
  MailProfile u{};
  u.AutoReply = 2;
  u.DisableNewMail = -1;
  std::strcpy(u.MailDirectory, "/srv/mail/ann");
  ASSERT_EQ(UpdateMailProfile(&u, sizeof u), 0u);
  EXPECT_EQ(u.AutoReply, 3);
  EXPECT_EQ(StoredNumber("AutoReply"), 3);
  EXPECT_EQ(StoredNumber("DisableNewMail"), 0);
  EXPECT_STREQ(u.MailDirectory, "/srv/mail/ann/");
  EXPECT_STREQ(u.AccountName, "ann");

  MailProfile leave{};
  leave.AutoReply = -1;
  leave.DisableNewMail = 1;
  leave.MailDirectory[0] = PELLAM_DELETE_MARK;
  ASSERT_EQ(UpdateMailProfile(&leave, sizeof leave), 0u);
  EXPECT_EQ(StoredNumber("AutoReply"), 3);
  EXPECT_EQ(leave.DisableNewMail, 1);
  EXPECT_EQ(std::string(leave.MailDirectory), box_.Path("home/ann/mail/"));  // the default again
}

TEST_F(UserProfile, AnUpdateConcernsTheCallingUserWhateverTheRecordSays) {
  MailProfile u{};
  std::strcpy(u.AccountName, "bob");
  std::strcpy(u.FullName, "Not Bob");
  u.AutoReply = -1;
  u.DisableNewMail = -1;
  ASSERT_EQ(UpdateMailProfile(&u, sizeof u), 0u);
  EXPECT_STREQ(u.AccountName, "ann");
  EXPECT_STREQ(u.FullName, "Not Bob");
}

TEST_F(UserProfile, BadStoredValues) {
  ASSERT_EQ(GetMailProfile(&p_, sizeof p_), 0u);
  uint32_t n = 5;
  SetValue("FullName", platform::REG_DWORD, &n, sizeof n);
  EXPECT_EQ(GetUserProfile(&p_, 1), ERROR_INVALID_DATA);
  EXPECT_EQ(GetMailProfile(&p_, sizeof p_), ERR_BAD_USER_PROFILE);
  EXPECT_EQ(platform::GetLastError(), ERR_BAD_USER_PROFILE);
  SetString("FullName", std::string(300, 'x'));
  EXPECT_EQ(GetUserProfile(&p_, 1), ERROR_INSUFFICIENT_BUFFER);
  SetString("FullName", "Ann");
  SetString("AutoReply", "1");
  EXPECT_EQ(GetUserProfile(&p_, 1), ERROR_INVALID_DATA);
  EXPECT_STREQ(p_.FullName, "Ann");  // what was read before the failure stays
  // A string stored without its NUL is read safely.
  SetValue("AutoReply", platform::REG_DWORD, &n, sizeof n);
  SetValue("Forward", platform::REG_SZ, "NODE::X", 7);
  ASSERT_EQ(GetUserProfile(&p_, 1), 0u);
  EXPECT_STREQ(p_.Forward, "NODE::X");
}

TEST_F(UserProfile, AnAccountWithoutHomeCannotBeRegistered) {
  PELLAM_NEEDS_ROOT("acts as an account without a home");
  // The hive lives in the home: without one there is nowhere to register the user.
  int rc = RunAsUser(1002, 1002, [] {
    MailProfile p{};
    return GetMailProfile(&p, sizeof p) == ERR_NOT_REGISTERED ? 0 : 1;
  });
  EXPECT_EQ(rc, 0);
  MailProfile other{};
  std::strcpy(other.AccountName, "nohome");
  EXPECT_EQ(GetUserProfile(&other, 0), ERR_NOT_REGISTERED);
}

TEST_F(UserProfile, SizesAreChecked) {
  platform::SetLastError(0);
  EXPECT_EQ(GetMailProfile(&p_, sizeof p_ - 1), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(platform::GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(UpdateMailProfile(&p_, sizeof p_ - 1), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(MakeUserProfile(nullptr), 0u);  // creates the key: the user is registered
  EXPECT_EQ(GetUserProfile(&p_, 1), 0u);
}

}  // namespace
