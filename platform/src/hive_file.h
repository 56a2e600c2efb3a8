// The hive file on disk: made once, complete, with its directory, modes and owner.
// A machine hive's directory is 0755 and its file 0644 (only the creator, root on a
// real system, writes); a user hive's directory is 0700 and its file 0600, both owned
// by the user even when root makes them.
#pragma once

#include <cstdint>

#include "hive_location.h"

namespace platform::registry {

// Makes the hive file at `location` unless it exists. The file is built under a
// temporary name and linked into place, so no process ever opens a half-made hive
// and two processes creating it at once both succeed. ERROR_PATH_NOT_FOUND when the
// account has no home or the home does not exist.
uint32_t CreateHiveFile(const HiveLocation& location);

}  // namespace platform::registry
