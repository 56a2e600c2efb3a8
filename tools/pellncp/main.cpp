// pellncp: shows this machine's DECnet node and loops to other nodes, through the
// Pellam service's control socket. A thin main: the work is in the pellncp library.
#include <iostream>

#include "ncp_protocol.h"
#include "pellncp.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const int status = pellncp::Run(args, std::cout, std::cerr, pellam::ncp::SocketPath());
  std::cout.flush();
  if (!std::cout) {
    std::cerr << "pellncp: cannot write to standard output\n";
    return pellncp::kExitFailed;
  }
  return status;
}
