// The monitor loop: watch, count, report, wait; while "new" is missing, wait for it.
#include "monitor/new_mail_monitor.h"

#include "pellam_mailbox.h"
#include "platform/errors.h"
#include "platform/file_time.h"
#include "platform/find.h"

namespace pelldesk {
namespace {

enum class Wake { Change, Stop, Timeout, Failed };

// Waits for the change notification (when `change` is not -1) or the stop event;
// `timeout_ms` -1 waits without limit. The stop event wins when both are signalled.
Wake WaitForChangeOrStop(int change, const platform::Event& stop, int timeout_ms) {
  const int handles[2] = {stop.handle(), change};
  switch (platform::WaitForObjects(handles, change >= 0 ? 2 : 1, timeout_ms)) {
    case 0: return Wake::Stop;
    case 1: return Wake::Change;
    case platform::kWaitTimeout: return Wake::Timeout;
    default: return Wake::Failed;
  }
}

// Nanoseconds, not the listing's seconds: two arrivals within one second must still
// tell the later one. A file gone since the listing keeps the listing's seconds.
int64_t LastWriteTime(const std::string& path, int64_t listed_seconds) {
  int64_t written = 0;
  if (platform::GetLastWriteTime(path.c_str(), &written) == 0) return written;
  return listed_seconds * 1000000000;
}

void NoteTime(FolderScan* scan, int64_t written) {
  if (written > scan->newest) {
    scan->newer = true;
    scan->newest = written;
  }
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
  NewFolderCount folder;
  return folder.Rescan(dir, newest);
}

FolderScan NewFolderCount::Rescan(const std::string& dir, int64_t newest) {
  files_.clear();
  FolderScan scan;
  scan.newest = newest;
  platform::FindData data{};
  platform::FindHandle handle = platform::FindFirstFile((dir + pellam::mailbox::kMessageFiles).c_str(), &data);
  if (handle == nullptr) return scan;
  do {
    const int64_t written = LastWriteTime(dir + data.name, data.modified);
    files_[data.name] = written;
    NoteTime(&scan, written);
  } while (platform::FindNextFile(handle, &data));
  platform::FindClose(handle);
  scan.count = count();
  return scan;
}

FolderScan NewFolderCount::Apply(const std::string& dir, const std::vector<platform::DirChange>& changes,
                                 int64_t newest) {
  FolderScan scan;
  scan.newest = newest;
  for (const platform::DirChange& change : changes) {
    if (!platform::MatchName(pellam::mailbox::kMessageFiles, change.name.c_str())) continue;
    int64_t written = 0;
    // A name that came may have gone again by now: what is on disk decides.
    if (change.present && platform::GetLastWriteTime((dir + change.name).c_str(), &written) == 0) {
      files_[change.name] = written;
      NoteTime(&scan, written);
    } else if (!change.present || platform::GetLastError() == ERROR_FILE_NOT_FOUND ||
               platform::GetLastError() == ERROR_PATH_NOT_FOUND) {
      files_.erase(change.name);
    } else {
      files_.try_emplace(change.name, 0);  // there, but its time cannot be read: counted, never newer
    }
  }
  scan.count = count();
  return scan;
}

uint32_t NewMailMonitor(MonitorShared& shared) {
  const std::string dir = shared.newFolderPath;
  platform::ChangeNotification change;
  // While "new" does not exist, the mail directory is watched for it to appear, so
  // that a first message shows as soon as any other; the retry interval only bounds
  // the wait when the mail directory cannot be watched either.
  platform::ChangeNotification parent;
  NewFolderCount folder;
  std::vector<platform::DirChange> changes;
  unsigned retry_delay = 0;
  bool stop = false;
  bool listed = false;  // the count stands for the folder as the watch has seen it
  uint32_t error = 0;
  while (!stop) {
    error = 0;
    if (retry_delay != 0) {
      // Watching starts before "new" is looked for again, so that nothing slips by.
      if (!parent.IsOpen() && parent.Open(ParentDirectory(dir)) == 0) {
        retry_delay = 0;
        continue;
      }
      Wake wake = WaitForChangeOrStop(parent.IsOpen() ? parent.handle() : -1, shared.stopEvent,
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
      listed = false;
    }
    // The changes are taken before the folder is looked at rather than after: a file
    // that arrives meanwhile then wakes the next pass instead of being missed.
    changes.clear();
    bool lost = false;
    const bool alive = change.ReadChanges(&changes, &lost);
    const uint32_t read_error = alive ? 0 : platform::GetLastError();

    // Listed in full only when the watch is new, changes were dropped, or the watch
    // died (the folder went away: the listing then finds it empty).
    FolderScan scan = listed && alive && !lost ? folder.Apply(dir, changes, shared.newestArrival)
                                               : folder.Rescan(dir, shared.newestArrival);
    listed = true;
    shared.newerArrival = scan.newer;
    if (scan.count != shared.newMailCount || scan.newer) {
      shared.newMailCount = scan.count;
      shared.newestArrival = scan.newest;
      shared.sendNewMail();
    }

    if (!alive) {
      error = read_error;
      change.Close();  // the next pass watches anew, or waits for "new" to come back
      continue;
    }
    switch (WaitForChangeOrStop(change.handle(), shared.stopEvent, -1)) {
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
