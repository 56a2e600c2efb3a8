// The new-mail monitor: a thread that watches the "new" folder, counts its "*.mai"
// files after every change, and reports to the user-interface thread, synchronously,
// whenever the count differs from the last report or a file later than any seen before
// has arrived. While "new" does not exist it watches the mail directory for it (and
// looks again at every retry interval, should that watch fail).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "monitor/stop_event.h"

namespace pelldesk {

// What the monitor thread shares with the application. The counters are written by the
// monitor just before it reports and read by the user-interface thread only while it
// handles the report (the monitor waits meanwhile), so they need no lock. The block is
// shared, so that a monitor that has to be abandoned at the end of the run never
// touches the application object.
struct MonitorShared {
  std::string newFolderPath;   // ends in "/"
  unsigned retryDelayMs = 60000;
  StopEvent stopEvent;
  int newMailCount = -1;       // "*.mai" files seen by the last report
  int64_t newestArrival = 0;   // latest last-write time seen, nanoseconds since 1970
  bool newerArrival = false;   // the last scan found a file later than newestArrival was

  // The New Mail command to the main frame; returns when it has been handled (or at
  // once when there is no main frame any more).
  std::function<void()> sendNewMail;
  // ReportErrorNoArg of the application.
  std::function<int(const char* format, uint32_t status)> reportError;
};

// One scan of `dir` + "*.mai": the number of entries, and the latest last-write time
// among them when it is later than `newest` (else `newest` itself).
struct FolderScan {
  int count = 0;
  int64_t newest = 0;
  bool newer = false;
};
FolderScan ScanNewFolder(const std::string& dir, int64_t newest);

// The monitor's body: returns 0 once stopped through the stop event, or the status
// code of the failure it could not recover from (reported first).
uint32_t NewMailMonitor(MonitorShared& shared);

}  // namespace pelldesk
