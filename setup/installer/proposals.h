// How the installer finds its directories before it asks for them: the system root
// (in place of the system drive), the program directory of an installed service, the
// mail directory that the stored queue and temporary directories share, and the
// defaults below the system root.
#pragma once

#include <cstddef>
#include <string>

namespace setup {

// The longest program directory, trailing "/" included.
inline constexpr std::size_t kMaxProgramDir = 255;

enum class RootFound { kFound, kTooLong, kUndetermined };

// The system root, ending in "/": "/" on the real system, the sandbox root inside one.
// A relative sandbox root is taken from `current_dir` (ending in "/"), which "" leaves
// undetermined; a root of 256 characters or more does not fit.
RootFound FindSystemRoot(const std::string& sandbox_root, const std::string& current_dir,
                         std::string* root);

// The directory of a service program: the absolute path with its file name cut off,
// ending in "/"; "" when it is longer than kMaxProgramDir or cannot be resolved.
std::string ProgramDirectoryOf(const std::string& program);

// The directory that the queue and temporary directories share: the queue path up to
// the last separator of their common beginning, without it; "" when they share no
// more than the root, as directories on two drives shared nothing.
std::string SharedMailDirectory(const std::string& queue, const std::string& temp);

// The path as an edit dialog shows it: without its trailing "/", except "/" itself.
std::string WithoutTrailingSeparator(const std::string& path);

// The path with one trailing "/".
std::string WithTrailingSeparator(const std::string& path);

}  // namespace setup
