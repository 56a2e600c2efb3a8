// pellreg's commands over the registry store: query, add, delete, export and import,
// and Run, which parses a command line and carries it out. Output and questions go
// through a Console so that tests drive the commands in-process.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "pellreg/command_line.h"

namespace pellreg {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

struct Console {
  std::ostream& out;
  std::ostream& err;
  // Asks a yes/no question and returns the answer; empty when standard input is not a
  // terminal, and then nobody is asked and a command that would ask is refused.
  std::function<bool(const std::string& question)> ask;
};

// Asks `question` on `out` until the answer on `in` is yes or no (y, n, any letter
// case); the end of the input counts as no.
bool AskYesNo(std::istream& in, std::ostream& out, const std::string& question);

// Runs the command line `args` (without the program name); returns the exit status.
// Failures are one line on console.err beginning "pellreg: ".
int Run(const std::vector<std::string>& args, Console& console);

int Query(const Request& request, Console& console);
int Add(const Request& request, Console& console);
int Delete(const Request& request, Console& console);
int Export(const Request& request, Console& console);
int Import(const Request& request, Console& console);

}  // namespace pellreg
