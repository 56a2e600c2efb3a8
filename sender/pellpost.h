// pellpost: sends one prepared message file (headers with the To and Cc addresses,
// an empty line, the text) as the user who runs it. The whole program is this one
// function, so that tests can run it without starting a process.
#pragma once

#include <cstdio>

namespace pellpost {

inline constexpr int kPosted = 0;
inline constexpr int kSendFailed = 1;
inline constexpr int kUsage = 2;

// Runs the program with its command line, printing to `out`; returns the exit code.
int Run(int argc, const char* const* argv, std::FILE* out);

}  // namespace pellpost
