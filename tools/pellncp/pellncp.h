// pellncp as a whole, short of main: the command line, one request to the service's
// control socket, the display, and an exit code that says what went wrong.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace pellncp {

enum ExitCode {
  kExitOk = 0,
  kExitFailed = 1,       // node unreachable, or the loop failed
  kExitUsage = 2,        // bad arguments
  kExitUnknownNode = 3,
  kExitNoDecnet = 4,     // no DECnet configuration, or the node is not running
  kExitNoService = 5,    // service not running, or not answering
};

// `args` without the program name; `socket_path` is where the service listens.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const std::string& socket_path);

}  // namespace pellncp
