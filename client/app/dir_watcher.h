// Directories watched from the user-interface thread: the change notification of the
// new-mail monitor (change_watch.h), read when the event loop sees it signalled, and
// handed to a handler with what changed. The open folder windows and the tree follow
// the disk through it.
#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "monitor/change_watch.h"

class QSocketNotifier;

namespace pelldesk {

class DirWatcher : public QObject {
  Q_OBJECT

 public:
  // `changes` in order; `lost` when the system dropped some (read the whole directory
  // again); `alive` false when a watched directory went away (the watch has stopped).
  using Handler = std::function<void(const std::vector<DirChange>& changes, bool lost, bool alive)>;

  DirWatcher();
  ~DirWatcher() override;

  // Watches `dirs` (at least one) until Stop or the next Watch; `writes` as for
  // ChangeWatch::Open. A directory that cannot be watched is skipped; 0 when the first
  // could be watched, else its status code (and nothing is watched).
  uint32_t Watch(const std::vector<std::string>& dirs, bool writes, Handler handler);
  void Stop();
  bool IsWatching() const { return watch_.IsOpen(); }

 private:
  void OnSignalled();
  void Deliver();

  ChangeWatch watch_;
  std::unique_ptr<QSocketNotifier> notifier_;
  Handler handler_;
  std::vector<DirChange> pending_;
  bool lost_ = false;
  bool alive_ = true;
  bool queued_ = false;
};

}  // namespace pelldesk
