// Whole files for export and import. A file is read at once (up to a size limit, so
// that a wrong file cannot exhaust memory). A file is written under a temporary name
// beside its target, flushed and only then renamed into place, so that a failed export
// leaves neither a partial file nor any harm to the file it was to replace.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pellreg {

inline constexpr std::uint64_t kMaxTextFileSize = 64u << 20;

// False, with a complete message in *error ("cannot read F: ..."), when the file
// cannot be read or is larger than kMaxTextFileSize.
bool ReadTextFile(const std::string& path, std::string* content, std::string* error);

struct WriteOutcome {
  bool ok = false;
  bool exists = false;  // refused because the file exists and `replace` was not given
  std::string error;    // a complete message when !ok
};

// Writes `content` as the file `path` (mode 0600: an export may hold a user's private
// settings). Without `replace` an existing file is refused and left alone.
WriteOutcome WriteTextFile(const std::string& path, std::string_view content, bool replace);

}  // namespace pellreg
