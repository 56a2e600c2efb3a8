// The new-mail monitor: a thread that watches the "new" folder, keeps the count of its
// "*.mai" files up to date from the names each change notification reports (the folder
// is listed in full only when the watch starts or the system dropped changes), and
// reports to the user-interface thread, synchronously, whenever the count differs from
// the last report or a file later than any seen before has arrived. While "new" does
// not exist it watches the mail directory for it (and looks again at every retry
// interval, should that watch fail).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/change_notify.h"
#include "platform/events.h"

namespace pelldesk {

// What the monitor thread shares with the application. The counters are written by the
// monitor just before it reports and read by the user-interface thread only while it
// handles the report (the monitor waits meanwhile), so they need no lock. The block is
// shared, so that a monitor that has to be abandoned at the end of the run never
// touches the application object.
struct MonitorShared {
  std::string newFolderPath;   // ends in "/"
  unsigned retryDelayMs = 60000;
  platform::Event stopEvent;
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

// The "*.mai" names of the folder with their last-write times, kept in step with the
// changes the notification reports, so that one arrival costs one look at one file
// whatever the folder holds.
class NewFolderCount {
 public:
  // Lists `dir` in full, as a first scan of it (`newest` as for ScanNewFolder).
  FolderScan Rescan(const std::string& dir, int64_t newest);
  // Applies `changes` in order (other names are passed over): a name that came is
  // looked at, one that went is forgotten.
  FolderScan Apply(const std::string& dir, const std::vector<platform::DirChange>& changes, int64_t newest);
  int count() const { return static_cast<int>(files_.size()); }

 private:
  std::unordered_map<std::string, int64_t> files_;  // by name: last-write time
};

// The monitor's body: returns 0 once stopped through the stop event, or the status
// code of the failure it could not recover from (reported first).
uint32_t NewMailMonitor(MonitorShared& shared);

}  // namespace pelldesk
