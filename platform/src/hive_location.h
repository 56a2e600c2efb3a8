// Where a hive lives and who owns it: the machine hive (one per system or sandbox)
// or the hive in a user's home. Resolved at every call, never cached, because the
// sandbox root and the calling user may change between calls.
#pragma once

#include <cstdint>
#include <string>

namespace platform::registry {

struct HiveLocation {
  std::string path;      // the hive file; "" when the account has no home
  bool machine = false;  // machine hive: readable by all; else private to `uid`
  uint32_t uid = 0;      // owner of a user hive and of its directory
  uint32_t gid = 0;
};

HiveLocation MachineHive();

// The hive of the account with `uid`: 0, or the code of the account look-up
// (ERROR_NONE_MAPPED for no such account).
uint32_t UserHive(uint32_t uid, HiveLocation* location);

}  // namespace platform::registry
