// The installer's main sequence: welcome, the program and mail directories, the
// removal of an earlier Pellam service, the copy of the script's files, the service
// record, the system profile, the queue and temporary directories, the menu items and
// the start of the service, ending with the final dialog or with the failure exit.
// What is done before a failure stays done; nothing is rolled back.
#pragma once

#include "toolkit.h"

namespace setup {

// Exit codes of setup.
inline constexpr int kInstalled = 0;
inline constexpr int kInstallFailed = 1;
inline constexpr int kUserQuit = 2;

struct InstallerSettings {
  unsigned poll_interval_ms = 1000;  // between status queries while a service starts or stops
};

// Runs the whole installation through the toolkit, whose symbols "STF_SRCDIR" (and
// "STF_SRCINFPATH", when set) name the source; returns the exit code.
int RunInstaller(Toolkit& toolkit, const InstallerSettings& settings = {});

}  // namespace setup
