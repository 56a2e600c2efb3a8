// Accounts from the system's user database (getpwnam_r / getpwuid_r), or, inside a
// sandbox (PELLAM_ROOT), from the passwd-format file etc/passwd below the root, whose
// home directories are taken as paths inside the root.
#pragma once

#include <cstdint>
#include <string>

#include "platform/export.h"

namespace platform {

struct Account {
  std::string name;
  uint32_t uid = 0;
  uint32_t gid = 0;
  std::string full_name;  // first field of the GECOS entry
  std::string home;       // without a trailing "/"; "" when the account has none
};

// 0 on success; ERROR_NONE_MAPPED when no user account has that name (a group name is
// not a user account), or the code of the failure to read the user database.
PLATFORM_API uint32_t LookupAccountByName(const char* name, Account* account);
PLATFORM_API uint32_t LookupAccountByUid(uint32_t uid, Account* account);

// The calling user: the account of the effective uid.
PLATFORM_API uint32_t CurrentAccount(Account* account);

// "S-1-22-1-" followed by the uid.
PLATFORM_API std::string SidString(uint32_t uid);

// The uid of a SID string of that form; false for any other text.
PLATFORM_API bool ParseSidString(const char* sid, uint32_t* uid) noexcept;

// The computer name: the host name up to its first dot, in capitals, at most 15
// characters. It is also the local node name.
PLATFORM_API std::string ComputerName();

}  // namespace platform
