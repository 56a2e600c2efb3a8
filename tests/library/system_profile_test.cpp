// The machine's mail parameters: defaults, bounds, delete marks and failures.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "needs_root.h"
#include "pellam.h"
#include "platform/errors.h"
#include "platform/fault.h"
#include "platform/registry.h"
#include "sandbox.h"

namespace {

using pellam::test::Sandbox;

class SystemProfile : public ::testing::Test {
 protected:
  void SetUp() override { box_.AddCurrentUser("admin", "Administrator"); }

  // Stores the two required directories as an administrator would.
  void StoreDirectories(const std::string& queue = "/var/q", const std::string& temp = "/var/t") {
    SetString("MailQueuePath", queue);
    SetString("MailTempPath", temp);
  }
  void SetString(const char* name, const std::string& value, uint32_t type = platform::REG_SZ) {
    platform::UniqueKey key;
    ASSERT_EQ(platform::RegCreateKeyEx(platform::HKEY_LOCAL_MACHINE, PELLAM_PARAMETERS_KEY, key.out()), 0u);
    ASSERT_EQ(platform::RegSetValueEx(key.get(), name, type, reinterpret_cast<const uint8_t*>(value.c_str()),
                                      static_cast<uint32_t>(value.size() + 1)),
              0u);
  }
  void SetNumber(const char* name, uint32_t value) {
    platform::UniqueKey key;
    ASSERT_EQ(platform::RegCreateKeyEx(platform::HKEY_LOCAL_MACHINE, PELLAM_PARAMETERS_KEY, key.out()), 0u);
    ASSERT_EQ(platform::RegSetValueEx(key.get(), name, platform::REG_DWORD,
                                      reinterpret_cast<const uint8_t*>(&value), sizeof value),
              0u);
  }
  bool HasValue(const char* name) {
    platform::UniqueKey key;
    if (platform::RegOpenKeyEx(platform::HKEY_LOCAL_MACHINE, PELLAM_PARAMETERS_KEY, platform::KEY_READ,
                               key.out()) != 0) {
      return false;
    }
    return platform::RegQueryValueEx(key.get(), name, nullptr, nullptr, nullptr) == 0;
  }

  Sandbox box_;
  MailSystemProfile p_{};
};

bool AllZero(const void* data, std::size_t size) {
  auto* b = static_cast<const unsigned char*>(data);
  for (std::size_t i = 0; i < size; ++i) {
    if (b[i] != 0) return false;
  }
  return true;
}

TEST_F(SystemProfile, WithoutTheKeyNothingIsRead) {
  std::memset(&p_, 0x55, sizeof p_);
  platform::SetLastError(0);
  EXPECT_EQ(GetMailSystemProfile(&p_, sizeof p_), ERR_NO_PARAMETERS);
  EXPECT_EQ(platform::GetLastError(), ERR_NO_PARAMETERS);
  EXPECT_TRUE(AllZero(&p_, sizeof p_));
}

TEST_F(SystemProfile, AbsentNumbersTakeTheirDefaults) {
  StoreDirectories();
  ASSERT_EQ(GetMailSystemProfile(&p_, sizeof p_), 0u);
  EXPECT_STREQ(p_.MailQueuePath, "/var/q/");
  EXPECT_STREQ(p_.MailTempPath, "/var/t/");
  EXPECT_EQ(p_.SendThreadLimit, 8u);
  EXPECT_EQ(p_.ReceiveThreadLimit, 8u);
  EXPECT_EQ(p_.NetSendTimeout, 60000u);
  EXPECT_EQ(p_.NetReceiveTimeout, 600000u);
  EXPECT_EQ(p_.MaximumHops, 8u);
  EXPECT_EQ(p_.SenderRetryDelta, 1800000u);
  EXPECT_EQ(p_.SenderRetryLimit, 259200000u);
  EXPECT_STREQ(p_.ErrorFile, "");
  EXPECT_STREQ(p_.ExternalGateway, "");
}

TEST_F(SystemProfile, StoredNumbersAreBounded) {
  StoreDirectories();
  struct Row {
    const char* name;
    uint32_t stored;
    uint32_t MailSystemProfile::*field;
    uint32_t want;
  } rows[] = {
      {"NetSendTimeout", 5000, &MailSystemProfile::NetSendTimeout, 10000},
      {"NetSendTimeout", 0xFFFFFFFF, &MailSystemProfile::NetSendTimeout, 0x7FFFFFFF},
      {"NetReceiveTimeout", 10001, &MailSystemProfile::NetReceiveTimeout, 10001},
      {"SenderRetryDelta", 1, &MailSystemProfile::SenderRetryDelta, 60000},
      {"SenderRetryLimit", 0xFFFFFFFF, &MailSystemProfile::SenderRetryLimit, 0xFFFFFFFF},
      {"SenderRetryLimit", 0, &MailSystemProfile::SenderRetryLimit, 0},
      {"MaximumHops", 0, &MailSystemProfile::MaximumHops, 0},
      {"SendThreadLimit", 0x80000000, &MailSystemProfile::SendThreadLimit, 0x7FFFFFFF},
  };
  for (const Row& r : rows) {
    SetNumber(r.name, r.stored);
    ASSERT_EQ(GetSystemProfile(&p_), 0u) << r.name;
    EXPECT_EQ(p_.*r.field, r.want) << r.name << " stored as " << r.stored;
  }
}

TEST_F(SystemProfile, AWrongTypeStopsTheReadWhereItIs) {
  StoreDirectories();
  SetNumber("SendThreadLimit", 3);
  SetString("NetReceiveTimeout", "600000");
  ASSERT_EQ(GetSystemProfile(&p_), ERROR_INVALID_DATA);
  EXPECT_STREQ(p_.MailQueuePath, "/var/q/");
  EXPECT_STREQ(p_.MailTempPath, "/var/t/");
  EXPECT_EQ(p_.SendThreadLimit, 3u);
  EXPECT_EQ(p_.ReceiveThreadLimit, 8u);
  EXPECT_EQ(p_.NetSendTimeout, 60000u);
  EXPECT_EQ(p_.NetReceiveTimeout, 0u);
  EXPECT_EQ(p_.SenderRetryLimit, 0u);
  EXPECT_EQ(GetMailSystemProfile(&p_, sizeof p_), ERR_BAD_PARAMETERS);
  EXPECT_EQ(platform::GetLastError(), ERR_BAD_PARAMETERS);
}

TEST_F(SystemProfile, BadDirectoriesAreBadParameters) {
  SetString("MailQueuePath", "/var/q");
  EXPECT_EQ(GetSystemProfile(&p_), ERR_BAD_PARAMETERS);  // no temporary directory
  SetString("MailTempPath", "");
  EXPECT_EQ(GetSystemProfile(&p_), ERR_BAD_PARAMETERS);
  SetString("MailTempPath", "/" + std::string(258, 't'));  // 259 characters stored
  EXPECT_EQ(GetSystemProfile(&p_), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(GetMailSystemProfile(&p_, sizeof p_), ERR_BAD_PARAMETERS);
  SetString("MailTempPath", "/" + std::string(257, 't'));  // 258: the longest that reads
  ASSERT_EQ(GetSystemProfile(&p_), 0u);
  EXPECT_EQ(std::strlen(p_.MailTempPath), 259u);
  SetString("MailTempPath", "/var/t", platform::REG_EXPAND_SZ);
  EXPECT_EQ(GetSystemProfile(&p_), ERROR_INVALID_DATA);
}

TEST_F(SystemProfile, PathsReadWithExactlyOneSeparator) {
  for (const char* stored : {"/srv/pellam/queue", "/srv/pellam/queue/", "/srv/pellam/./x/../queue"}) {
    StoreDirectories(stored);
    ASSERT_EQ(GetSystemProfile(&p_), 0u) << stored;
    EXPECT_STREQ(p_.MailQueuePath, "/srv/pellam/queue/") << stored;
  }
}

TEST_F(SystemProfile, UpdatesWriteAbsolutePathsAndHonourDeleteMarks) {
  MailSystemProfile in{};
  std::strcpy(in.MailQueuePath, "/srv/q");
  std::strcpy(in.MailTempPath, "tmpdir");
  std::strcpy(in.ExternalGateway, "GATE");
  std::strcpy(in.ErrorFile, "/srv/errors");
  ASSERT_EQ(UpdateMailSystemProfile(&in, sizeof in), 0u);
  char cwd[PELLAM_MAX_PATH];
  ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
  EXPECT_EQ(std::string(in.MailTempPath), std::string(cwd) + "/tmpdir/");  // refreshed record
  EXPECT_STREQ(in.ExternalGateway, "GATE");

  MailSystemProfile del{};
  del.MailQueuePath[0] = PELLAM_DELETE_MARK;  // the directories are never removed
  del.ExternalGateway[0] = PELLAM_DELETE_MARK;
  ASSERT_EQ(UpdateMailSystemProfile(&del, sizeof del), 0u);
  EXPECT_STREQ(del.MailQueuePath, "/srv/q/");
  EXPECT_STREQ(del.ExternalGateway, "");
  EXPECT_STREQ(del.ErrorFile, "/srv/errors");
  EXPECT_FALSE(HasValue("ExternalGateway"));
  EXPECT_TRUE(HasValue("MailQueuePath"));
}

TEST_F(SystemProfile, AnUpdateWithoutDirectoriesWritesButReportsThem) {
  MailSystemProfile in{};
  std::strcpy(in.ExternalGateway, "GATE");
  EXPECT_EQ(UpdateMailSystemProfile(&in, sizeof in), ERR_BAD_PARAMETERS);
  EXPECT_TRUE(HasValue("ExternalGateway"));
}

TEST_F(SystemProfile, SizesAndNullRecords) {
  EXPECT_EQ(GetMailSystemProfile(&p_, sizeof p_ - 1), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(platform::GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(UpdateMailSystemProfile(&p_, 1067), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(MakeSystemProfile(nullptr), 0u);  // only makes sure the key exists
  EXPECT_EQ(GetMailSystemProfile(&p_, sizeof p_ + 100), ERR_BAD_PARAMETERS);
}

TEST_F(SystemProfile, AnUnterminatedFieldIsRefused) {
  MailSystemProfile in{};
  std::strcpy(in.MailQueuePath, "/srv/q");
  std::memset(in.ErrorFile, 'e', sizeof in.ErrorFile);
  EXPECT_EQ(UpdateMailSystemProfile(&in, sizeof in), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(HasValue("MailQueuePath"));
}

TEST_F(SystemProfile, OnlyTheAdministratorUpdates) {
  PELLAM_NEEDS_ROOT("acts as another account");
  StoreDirectories();
  box_.AddUser("ann", 1001, "Ann", "/home/ann");
  int rc = pellam::test::RunAsUser(1001, 1001, [] {
    MailSystemProfile p{};
    if (GetMailSystemProfile(&p, sizeof p) != 0) return 1;  // everyone reads
    std::strcpy(p.ExternalGateway, "MINE");
    return UpdateMailSystemProfile(&p, sizeof p) == ERROR_ACCESS_DENIED ? 0 : 2;
  });
  EXPECT_EQ(rc, 0);
}

TEST_F(SystemProfile, StoreFailuresPassThrough) {
  StoreDirectories();
  platform::fault::Scope faults;
  platform::fault::FailNth(platform::fault::Op::RegRead, 4, ERROR_IO_DEVICE);
  EXPECT_EQ(GetSystemProfile(&p_), ERROR_INVALID_DATA);  // a failed number read is invalid data
  platform::fault::FailNth(platform::fault::Op::RegRead, 1, ERROR_IO_DEVICE);
  EXPECT_EQ(GetSystemProfile(&p_), ERROR_IO_DEVICE);  // the queue path read
  platform::fault::FailNth(platform::fault::Op::RegWrite, 1, ERROR_DISK_FULL);
  MailSystemProfile in{};
  std::strcpy(in.MailQueuePath, "/q");
  EXPECT_EQ(UpdateMailSystemProfile(&in, sizeof in), ERROR_DISK_FULL);
}

}  // namespace
