// The monitor loop: watch, scan, report, wait; while "new" is missing, wait for it.
#include "monitor/new_mail_monitor.h"

#include <poll.h>
#include <sys/stat.h>

#include <cerrno>

#include "monitor/change_watch.h"
#include "platform/errors.h"
#include "platform/find.h"

namespace pelldesk {
namespace {

enum class Wake { Change, Stop, Timeout, Failed };

// Waits for the change notification (when `change_fd` is not -1) or the stop event;
// `timeout_ms` -1 waits without limit. The stop event wins when both are signalled.
Wake WaitForChangeOrStop(int change_fd, int stop_fd, int timeout_ms) {
  pollfd fds[2] = {{stop_fd, POLLIN, 0}, {change_fd, POLLIN, 0}};
  const nfds_t count = change_fd >= 0 ? 2 : 1;
  for (;;) {
    int n = poll(fds, count, timeout_ms);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      platform::FailWithErrno();
      return Wake::Failed;
    }
    if (n == 0) return Wake::Timeout;
    if ((fds[0].revents & POLLIN) != 0) return Wake::Stop;
    if (count == 2 && (fds[1].revents & POLLIN) != 0) return Wake::Change;
    platform::Fail(ERROR_INVALID_HANDLE);  // POLLERR or POLLNVAL
    return Wake::Failed;
  }
}

int64_t LastWriteTime(const std::string& path, const platform::FindData& data) {
  struct stat st {};
  if (stat(path.c_str(), &st) == 0) {
    return static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  }
  return data.modified * 1000000000;  // gone since the listing: the listing's seconds
}

// "/home/u/mail/new/" gives "/home/u/mail".
std::string ParentDirectory(const std::string& dir) {
  std::string path = dir;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

FolderScan ScanNewFolder(const std::string& dir, int64_t newest) {
  FolderScan scan;
  scan.newest = newest;
  platform::FindData data{};
  platform::FindHandle handle = platform::FindFirstFile((dir + "*.mai").c_str(), &data);
  if (handle == nullptr) return scan;
  do {
    ++scan.count;
    // Nanoseconds, not the listing's seconds: two arrivals within one second must
    // still tell the later one.
    int64_t written = LastWriteTime(dir + data.name, data);
    if (written > scan.newest) {
      scan.newer = true;
      scan.newest = written;
    }
  } while (platform::FindNextFile(handle, &data));
  platform::FindClose(handle);
  return scan;
}

uint32_t NewMailMonitor(MonitorShared& shared) {
  const std::string dir = shared.newFolderPath;
  ChangeWatch change;
  // While "new" does not exist, the mail directory is watched for it to appear, so
  // that a first message shows as soon as any other; the retry interval only bounds
  // the wait when the mail directory cannot be watched either.
  ChangeWatch parent;
  unsigned retry_delay = 0;
  bool stop = false;
  uint32_t error = 0;
  while (!stop) {
    error = 0;
    if (retry_delay != 0) {
      // Watching starts before "new" is looked for again, so that nothing slips by.
      if (!parent.IsOpen() && parent.Open(ParentDirectory(dir)) == 0) {
        retry_delay = 0;
        continue;
      }
      Wake wake = WaitForChangeOrStop(parent.IsOpen() ? parent.fd() : -1, shared.stopEvent.fd(),
                                      static_cast<int>(retry_delay));
      if (wake == Wake::Failed) {
        error = platform::GetLastError();
        break;
      }
      if (wake == Wake::Change && !parent.Rearm()) parent.Close();  // gone: watched anew next time
      stop = wake == Wake::Stop;
      retry_delay = 0;
      continue;
    }
    if (!change.IsOpen()) {
      uint32_t code = change.Open(dir);
      if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) {
        retry_delay = shared.retryDelayMs;  // "new" does not exist yet
        continue;
      }
      if (code != 0) {
        error = code;
        break;
      }
      parent.Close();
    }
    // Re-armed before the scan rather than after it: a file that arrives while the
    // folder is being counted then wakes the next pass instead of being missed.
    const bool alive = change.Rearm();
    const uint32_t rearm_error = alive ? 0 : platform::GetLastError();

    FolderScan scan = ScanNewFolder(dir, shared.newestArrival);
    shared.newerArrival = scan.newer;
    if (scan.count != shared.newMailCount || scan.newer) {
      shared.newMailCount = scan.count;
      shared.newestArrival = scan.newest;
      shared.sendNewMail();
    }

    if (!alive) {
      error = rearm_error;
      change.Close();  // the next pass watches anew, or waits for "new" to come back
      continue;
    }
    switch (WaitForChangeOrStop(change.fd(), shared.stopEvent.fd(), -1)) {
      case Wake::Change: continue;
      case Wake::Stop: stop = true; continue;
      default: error = platform::GetLastError(); break;
    }
    break;
  }
  change.Close();
  parent.Close();
  if (stop) return 0;
  shared.reportError("New mail notification isn't working.", error);
  return error;
}

}  // namespace pelldesk
