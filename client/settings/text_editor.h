// Starting the desktop's text editor on one file, by name through the search path and
// with a chosen current directory, without waiting for it. The editor is detached from
// the client: it outlives it, and no child is left behind for the client to reap.
#pragma once

#include <cstdint>
#include <string>

namespace pelldesk {

// The desktop's own way to open a text file in its text editor.
inline constexpr char kDesktopTextEditor[] = "xdg-open";

// Runs `program` (a name looked up in PATH, or a path when it holds a "/") with the one
// argument `file`, in `directory`. 0 once the program runs, or the status code of why it
// could not be started (ERROR_FILE_NOT_FOUND for a program not found), also left as
// the last-error value.
uint32_t StartTextEditor(const std::string& program, const std::string& file,
                         const std::string& directory);

}  // namespace pelldesk
