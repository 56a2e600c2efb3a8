// pellreg: the administrators' editor of the registry store. A thin main: the
// commands live in the pellreg library, where the tests reach them.
#include <unistd.h>

#include <iostream>

#include "pellreg/commands.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  pellreg::Console console{std::cout, std::cerr, nullptr};
  if (::isatty(STDIN_FILENO) == 1) {
    console.ask = [](const std::string& question) {
      return pellreg::AskYesNo(std::cin, std::cout, question);
    };
  }
  int status = pellreg::Run(args, console);
  std::cout.flush();
  if (!std::cout) {
    std::cerr << "pellreg: cannot write to standard output\n";
    return pellreg::kExitFailure;
  }
  return status;
}
