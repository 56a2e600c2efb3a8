// Running as a service: detaching from the terminal, answering SIGTERM and SIGINT, and
// the whole program from its command line, so that main stays one line.
#pragma once

namespace pellam::service {

// Runs pellam with its command line; returns the exit code.
int ServiceMain(int argc, const char* const* argv);

}  // namespace pellam::service
