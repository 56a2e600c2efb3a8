// Starting the toolkit's frame from the command line: the source symbols.
#pragma once

#include "command_line.h"
#include "toolkit.h"

namespace setup {

// Sets "STF_SRCDIR" (the --source directory, or the program's own, as an absolute
// path ending in "/") and "STF_SRCINFPATH" (the --inf-dir directory, likewise, or "").
// False when a directory cannot be made absolute.
bool InitializeFrame(Toolkit& toolkit, const CommandLine& line);

}  // namespace setup
