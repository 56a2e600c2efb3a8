// Starting the desktop's text editor on one file, by name through the search path and
// with a chosen current directory, without waiting for it (beyond a moment to see the
// desktop refuse), and the editors to fall back on. The editor is detached from
// the client: it outlives it, and no child is left behind for the client to reap.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pelldesk {

// The desktop's own way to open a text file in its text editor.
inline constexpr char kDesktopTextEditor[] = "xdg-open";

// Runs `program` (a name looked up in PATH, or a path when it holds a "/") with the one
// argument `file`, in `directory` (platform::StartDetachedProgram). 0 once the program
// runs, or the status code of why it could not be started (ERROR_FILE_NOT_FOUND for a
// program not found), also left as the last-error value.
uint32_t StartTextEditor(const std::string& program, const std::string& file,
                         const std::string& directory);

// How long the desktop's opener is given to say it cannot open a text file: an exit
// with a failure status within it gives ERROR_NOT_SUPPORTED (the desktop has nothing
// to open the file with).
inline constexpr unsigned kDesktopWatchMs = 700;

// What to try when the desktop cannot open `file`: $VISUAL or $EDITOR (the first that
// is set) in a terminal, then the plain text editors a system may have.
std::vector<std::vector<std::string>> FallbackEditors(const std::string& file);

// The desktop's opener `desktop` on `file`, watched; when it fails, each of `fallbacks`
// in turn. 0 once one runs, else the desktop's status.
uint32_t StartAnyTextEditor(const std::string& desktop, const std::vector<std::vector<std::string>>& fallbacks,
                            const std::string& file, const std::string& directory);

}  // namespace pelldesk
