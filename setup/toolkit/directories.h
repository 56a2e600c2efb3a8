// Directory names and directories as setup checks and makes them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace setup {

// The longest directory name an edit dialog returns.
inline constexpr std::size_t kMaxDirectoryName = 254;

// True for a name setup accepts as a directory: absolute, at most kMaxDirectoryName
// characters, without control characters, empty names ("//") or the names "." and "..",
// so that what the user sees is the directory that is used.
bool ValidDirectoryName(const std::string& path);

bool DirectoryExists(const std::string& path);

// Creates the directory with exactly `mode` (whatever the umask), and the missing
// directories on its way with 0755. An existing directory is left as it is. 0, or the
// status code of the failure: ERROR_DIRECTORY when something other than a directory
// holds a name on the way, whose path then goes to `blocker`.
uint32_t CreateDirectoryPath(const std::string& path, unsigned mode, std::string* blocker = nullptr);

}  // namespace setup
