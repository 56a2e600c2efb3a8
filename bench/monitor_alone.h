// The new-mail monitor on its own thread, with no window and no sound: what the
// new-mail benchmarks measure as their floor. It counts the reports the monitor hands
// over, so that a caller can time a message's arrival until its report.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "monitor/new_mail_monitor.h"

namespace bench {

// A small received message at `path`, as delivery writes one.
void WriteArrival(const std::string& path);

// Writes msg0001.mai to msgNNNN.mai into `folder` (made if missing, ending in "/").
void FillNewFolder(const std::string& folder, int count);

class MonitorAlone {
 public:
  // Starts the monitor on `folder` (ending in "/") and waits up to 5 s for its first
  // report, the count it finds at start.
  explicit MonitorAlone(const std::string& folder);
  ~MonitorAlone();  // stops the monitor and waits for its thread
  MonitorAlone(const MonitorAlone&) = delete;
  MonitorAlone& operator=(const MonitorAlone&) = delete;

  bool started() const { return started_; }
  int reports();
  // Waits until the monitor has made `wanted` reports in all; false after 5 s.
  bool WaitForReports(int wanted);
  // The count of the last report (read after WaitForReports).
  int count() const { return shared_.newMailCount; }

 private:
  pelldesk::MonitorShared shared_;
  std::mutex mutex_;
  std::condition_variable reported_;
  int reports_ = 0;
  bool started_ = false;
  std::thread thread_;
};

}  // namespace bench
