// pellpost's entry point; everything it does is pellpost::Run.
#include <cstdio>

#include "pellpost.h"

int main(int argc, char** argv) {
  const int code = pellpost::Run(argc, argv, stdout);
  std::fflush(stdout);
  return code;
}
