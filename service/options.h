// The command line of pellam: "--foreground" keeps it attached to its terminal with
// the event log echoed to stderr (for tests and for running by hand); "--help" and
// "--version" print and exit. The service takes its configuration from the registry.
#pragma once

#include <cstdio>
#include <string>

namespace pellam::service {

struct Options {
  bool foreground = false;
  bool help = false;
  bool version = false;
  std::string error;  // not empty for a command line that is not understood
};

Options ParseOptions(int argc, const char* const* argv);

void PrintUsage(std::FILE* out, const char* program);

}  // namespace pellam::service
