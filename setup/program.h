// setup as a whole program: the command line, the front end it asks for, the toolkit
// and the installer; main is only a call of RunSetup.
#pragma once

namespace setup {

// Returns the exit code (see installer.h; 64 for a command line that cannot be used).
int RunSetup(int argc, char** argv);

}  // namespace setup
