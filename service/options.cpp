// Parsing pellam's three options; anything else is a usage error.
#include "options.h"

#include <cstring>

namespace pellam::service {

Options ParseOptions(int argc, const char* const* argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "--foreground") == 0) {
      options.foreground = true;
    } else if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
      options.help = true;
    } else if (std::strcmp(arg, "--version") == 0) {
      options.version = true;
    } else {
      options.error = std::string("unknown argument: ") + arg;
    }
  }
  return options;
}

void PrintUsage(std::FILE* out, const char* program) {
  std::fprintf(out,
               "usage:  %s [--foreground]\n"
               "    The Pellam service: delivers the mail queued in the queue directory\n"
               "    of the system profile to the local users it is addressed to.\n"
               "    --foreground  stay attached to the terminal; log to stderr as well\n"
               "    --help        show this text\n"
               "    --version     show the version\n",
               program);
}

}  // namespace pellam::service
