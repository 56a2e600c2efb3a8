// The one environment variable of the system: PELLAM_ROOT relocates everything the
// platform layer owns (hives, the user database and so the homes, the default
// directories of setup and the service). Unset, the real system is used.
#pragma once

#include <string>

#include "platform/export.h"

namespace platform {

// The sandbox root without a trailing "/", or "" when PELLAM_ROOT is unset or empty.
PLATFORM_API std::string SandboxRoot();

// `path` (absolute, as on the real system) moved inside the sandbox root when one is set.
PLATFORM_API std::string InRoot(const std::string& path);

}  // namespace platform
