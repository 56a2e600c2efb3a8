// The lookup runs GetUserProfile in a child with the user's identity: the hive is the
// user's own file, so the service never opens it with its own rights, and a hive that
// blocks or a child that is stopped costs no more than the child's deadline.
#include "profile_lookup.h"

#include <cctype>
#include <cstring>

#include "event_log.h"
#include "platform/errors.h"
#include "platform/registry.h"
#include "user_process.h"

namespace pellam::service {
namespace {

// How long the profile read waits for a hive that its user keeps locked: a little,
// so that the user's own client writing at that moment costs nothing; past that the
// recipient is served later, and the other recipients go first.
constexpr unsigned kHiveWaitMs = 250;

// The account an address names. Addresses are often written in capitals while account
// names are not, so a name not found as written is looked up once more in small letters.
uint32_t FindAccount(const std::string& user, platform::Account* account) {
  std::string name = user;
  for (int round = 0; round < 2; ++round) {
    const uint32_t code = platform::LookupAccountByName(name.c_str(), account);
    if (code != ERROR_NONE_MAPPED) return code;
    std::string lower = name;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower == name) break;
    name = lower;
  }
  return ERR_NO_SUCH_USER;
}

}  // namespace

uint32_t LookUpProfile(const std::string& user, platform::Account* account, MailProfile* profile) {
  std::memset(profile, 0, sizeof *profile);
  if (const uint32_t code = FindAccount(user, account)) return code;
  if (account->name.size() >= sizeof profile->AccountName) return ERR_NO_SUCH_USER;
  std::memcpy(profile->AccountName, account->name.c_str(), account->name.size() + 1);
  std::string record;
  const uint32_t code = RunAsUser(
      *account,
      [profile](std::string* out) {
        platform::SetRegistryLockTimeout(kHiveWaitMs);
        MailProfile read = *profile;
        const uint32_t result = GetUserProfile(&read, 0);
        out->assign(reinterpret_cast<const char*>(&read), sizeof read);
        return result;
      },
      &record);
  if (record.size() == sizeof *profile) {
    std::memcpy(profile, record.data(), sizeof *profile);
    profile->Next = nullptr;  // the child's, meaningless here
  }
  return code;
}

Refusal RefusalFor(uint32_t looked_up, const MailProfile& profile, const std::string& user, const std::string& node) {
  if (looked_up == ERR_NO_SUCH_USER || looked_up == ERR_NOT_REGISTERED || looked_up == ERR_NO_MAIL_DIRECTORY) {
    return {looked_up, StatusText(looked_up, user, node)};
  }
  if (looked_up == 0 && profile.DisableNewMail != 0) {
    return {ERR_CANNOT_RECEIVE, StatusText(ERR_CANNOT_RECEIVE, profile.AccountName)};
  }
  return {};
}

}  // namespace pellam::service
