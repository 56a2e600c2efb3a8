// The frame's command line: where the installation source is, and which front end
// answers the dialogs. The installer itself takes no arguments of its own.
#pragma once

#include <cstdio>
#include <string>

namespace setup {

struct CommandLine {
  std::string source_dir;  // --source: "STF_SRCDIR"; "" for the directory of the program
  std::string inf_dir;     // --inf-dir: "STF_SRCINFPATH"
  std::string script;      // --script: the answers file of the scripted front end
  bool help = false;
  bool version = false;
  std::string error;       // set for a command line that cannot be used
};

CommandLine ParseCommandLine(int argc, const char* const* argv);

// The usage text, with the format of the answers file.
void PrintUsage(std::FILE* out, const char* program);

// The directory of the running program, ending in "/"; "" when it cannot be read.
std::string ProgramDirectory();

}  // namespace setup
