// Paths of the hives: the machine hive below /var/lib/pellam (inside PELLAM_ROOT when
// set), a user's hive in <home>/.pellam.
#include "hive_location.h"

#include <unistd.h>

#include "platform/accounts.h"
#include "platform/errors.h"
#include "platform/registry.h"
#include "platform/sandbox.h"

namespace platform {
namespace registry {

HiveLocation MachineHive() {
  HiveLocation location;
  location.path = InRoot("/var/lib/pellam/registry/machine.db");
  location.machine = true;
  return location;
}

uint32_t UserHive(uint32_t uid, HiveLocation* location) {
  Account account;
  if (uint32_t code = LookupAccountByUid(uid, &account)) return code;
  location->path = account.home.empty() ? "" : account.home + "/.pellam/registry.db";
  location->machine = false;
  location->uid = account.uid;
  location->gid = account.gid;
  return ERROR_SUCCESS;
}

}  // namespace registry

std::string MachineHivePath() { return registry::MachineHive().path; }

std::string UserHivePath(uint32_t uid) {
  registry::HiveLocation location;
  if (registry::UserHive(uid, &location) != ERROR_SUCCESS) return {};
  return location.path;
}

std::string CurrentUserHivePath() { return UserHivePath(::geteuid()); }

}  // namespace platform
