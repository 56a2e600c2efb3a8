// The one way a test says that it needs root (to switch identity, give files to other
// accounts, read another user's hive): as anyone else it skips and names the reason, so
// that an ordinary user's run passes with its skips listed. CI runs every test as root.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

namespace pellam::test {

inline bool RunningAsRoot() { return ::geteuid() == 0; }

}  // namespace pellam::test

// Skips the current test (from its body or its fixture's SetUp) unless it runs as root;
// `why` says what the test does that only root may.
#define PELLAM_NEEDS_ROOT(why)                                                        \
  do {                                                                                \
    if (!::pellam::test::RunningAsRoot()) GTEST_SKIP() << "needs root: " << (why); \
  } while (false)
