// Users' mail profiles in their own hives: the calling user's through
// HKEY_CURRENT_USER, any other local user's through HKEY_USERS\<SID>. Values that are
// absent take their defaults from the account (full name, home + "/mail/").
#include <strings.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "frame/export_barrier.h"
#include "frame/status.h"
#include "pellam.h"
#include "platform/accounts.h"
#include "platform/errors.h"
#include "profiles/record_fields.h"
#include "profiles/registry_values.h"

namespace pellam {
namespace {

// Everything after the caller's Next link and the account name.
void ClearReadFields(MailProfile* p) {
  std::memset(p->FullName, 0, sizeof(MailProfile) - offsetof(MailProfile, FullName));
}

uint32_t AccountFor(const char* name, platform::Account* account) {
  uint32_t code = name[0] == '\0' ? platform::CurrentAccount(account)
                                  : platform::LookupAccountByName(name, account);
  return code == ERROR_NONE_MAPPED ? NERR_UserNotFound : code;
}

// Fills an empty FullName and an empty MailDirectory from the account.
uint32_t FillFromAccount(MailProfile* p) {
  platform::Account account;
  if (uint32_t code = AccountFor(p->AccountName, &account)) return code;
  uint32_t result = 0;
  if (!IsGiven(p->FullName) &&
      !CopyField(p->FullName, account.full_name.c_str(), account.full_name.size())) {
    result = ERROR_INSUFFICIENT_BUFFER;
  }
  if (IsGiven(p->MailDirectory)) return result;
  constexpr std::size_t kHomeLimit = 253;  // room for "/mail/" and the NUL
  if (account.home.size() >= kHomeLimit) return ERROR_INSUFFICIENT_BUFFER;
  if (account.home.empty()) return 0;  // no default: the caller reports the missing directory
  std::string mail = account.home + "/mail/";
  if (uint32_t code = ResolvePath(mail.c_str(), p->MailDirectory)) {
    p->MailDirectory[0] = '\0';
    return code;
  }
  return result;
}

uint32_t ReadProfileValues(HKEY key, MailProfile* p) {
  // One query of the store for the whole record, read below in the record's order.
  FetchedValue values[5];
  const char* const names[] = {"FullName", "MailDirectory", "Forward", "AutoReply", "DisableNewMail"};
  for (size_t i = 0; i < 5; ++i) values[i].name = names[i];
  if (uint32_t code = FetchValues(key, values, 5)) return code;
  if (uint32_t code = ReadRegString(values[0], p->FullName, sizeof p->FullName)) return code;
  if (uint32_t code = ReadRegPath(values[1], p->MailDirectory)) return code;
  if (uint32_t code = ReadRegString(values[2], p->Forward, sizeof p->Forward)) return code;
  // Mail forwarded to the user's own name would come straight back.
  if (IsGiven(p->Forward) && ::strcasecmp(p->Forward, p->AccountName) == 0) p->Forward[0] = '\0';
  if (!IsGiven(p->MailDirectory) || !IsGiven(p->FullName)) {
    if (uint32_t code = FillFromAccount(p)) return code;
  }
  if (!IsGiven(p->MailDirectory)) return ERR_NO_MAIL_DIRECTORY;
  auto* auto_reply = reinterpret_cast<uint32_t*>(&p->AutoReply);
  if (uint32_t code = ReadRegBoundedNumber(values[3], auto_reply, 0, 0)) return code;
  auto* disable = reinterpret_cast<uint32_t*>(&p->DisableNewMail);
  return ReadRegBoundedNumber(values[4], disable, 0, 0);
}

// Opens the profile key of the record's user for query.
uint32_t OpenProfileKey(MailProfile* p, platform::UniqueKey* key) {
  std::string path = PELLAM_PARAMETERS_KEY;
  platform::HKEY root = platform::HKEY_CURRENT_USER;
  if (!IsGiven(p->AccountName)) {
    platform::Account me;
    if (uint32_t code = platform::CurrentAccount(&me)) return code;
    if (!CopyField(p->AccountName, me.name.c_str(), me.name.size())) return ERROR_INSUFFICIENT_BUFFER;
  } else {
    platform::Account account;
    if (platform::LookupAccountByName(p->AccountName, &account) != 0) return ERR_NO_SUCH_USER;
    root = platform::HKEY_USERS;
    path = platform::SidString(account.uid) + "\\" + path;
  }
  // A user whose hive or profile key does not exist has never been registered.
  uint32_t code = platform::RegOpenKeyEx(root, path.c_str(), platform::KEY_QUERY_VALUE, key->out());
  return code == ERROR_FILE_NOT_FOUND ? ERR_NOT_REGISTERED : code;
}

uint32_t WriteProfileValues(HKEY key, MailProfile* p) {
  if (IsGiven(p->FullName)) {
    if (uint32_t code = WriteRegString(key, "FullName", p->FullName)) return code;
  }
  if (IsGiven(p->MailDirectory)) {
    if (uint32_t code = WriteRegPath(key, "MailDirectory", p->MailDirectory)) return code;
  }
  if (IsGiven(p->Forward)) {
    if (uint32_t code = WriteRegString(key, "Forward", p->Forward)) return code;
  }
  if (p->AutoReply >= 0) {
    if (p->AutoReply != 0) p->AutoReply |= 1;  // any setting means replies are on
    if (uint32_t code = WriteRegNumber(key, "AutoReply", static_cast<uint32_t>(p->AutoReply))) return code;
  }
  if (p->DisableNewMail >= 0) {
    return WriteRegNumber(key, "DisableNewMail", static_cast<uint32_t>(p->DisableNewMail));
  }
  return 0;
}

bool FieldsTerminated(const MailProfile* p) {
  return IsTerminated(p->AccountName) && IsTerminated(p->FullName) && IsTerminated(p->MailDirectory) &&
         IsTerminated(p->Forward);
}

}  // namespace
}  // namespace pellam

using namespace pellam;

static uint32_t ReadUserProfile(MailProfile* profile, uint32_t calling_user) {
  if (profile == nullptr) return ERROR_INVALID_PARAMETER;
  ClearReadFields(profile);
  if (calling_user != 0) {
    std::memset(profile->AccountName, 0, sizeof profile->AccountName);
  } else if (!IsTerminated(profile->AccountName)) {
    return ERROR_INVALID_PARAMETER;
  }
  platform::UniqueKey key;
  if (uint32_t code = OpenProfileKey(profile, &key)) return code;
  return ReadProfileValues(key.get(), profile);
}

extern "C" PELLAM_API uint32_t GetUserProfile(MailProfile* profile, uint32_t calling_user) {
  return Barrier([&] { return ReadUserProfile(profile, calling_user); });
}

static uint32_t WriteUserProfile(MailProfile* profile) {
  if (profile != nullptr && !FieldsTerminated(profile)) return ERROR_INVALID_PARAMETER;
  {
    platform::UniqueKey key;
    uint32_t code = platform::RegCreateKeyEx(platform::HKEY_CURRENT_USER, PELLAM_PARAMETERS_KEY, key.out());
    if (code != 0 || profile == nullptr) return code;
    profile->AccountName[0] = '\0';  // an update always concerns the calling user
    if ((code = WriteProfileValues(key.get(), profile)) != 0) return code;
  }
  return GetUserProfile(profile, 1);
}

extern "C" PELLAM_API uint32_t MakeUserProfile(MailProfile* profile) {
  return Barrier([&] { return WriteUserProfile(profile); });
}

extern "C" PELLAM_API uint32_t GetMailProfile(MailProfile* profile, uint32_t size) {
  if (profile == nullptr || size < sizeof(MailProfile)) return platform::Fail(ERROR_INVALID_PARAMETER);
  uint32_t code = GetUserProfile(profile, 1);
  if (code == 0) return 0;
  if (code == ERR_NOT_REGISTERED) {
    // First use: register the user with the record as the failed read left it (no
    // strings, both numbers 0), which reads the defaults back from the account.
    if (MakeUserProfile(profile) == 0) return 0;
  }
  if (!IsLibraryCode(code)) code = ERR_BAD_USER_PROFILE;
  return platform::Fail(code);
}

extern "C" PELLAM_API uint32_t UpdateMailProfile(MailProfile* profile, uint32_t size) {
  if (profile == nullptr || size < sizeof(MailProfile)) return platform::Fail(ERROR_INVALID_PARAMETER);
  uint32_t code = MakeUserProfile(profile);
  return code == 0 ? 0 : platform::Fail(code);
}
