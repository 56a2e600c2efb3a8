// Directories watched from the user-interface thread: the platform's change
// notification (platform/change_notify.h), read when the event loop sees it signalled, and
// handed to a handler with what changed. The open folder windows and the tree follow
// the disk through it.
#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/change_notify.h"

class QSocketNotifier;

namespace pelldesk {

using platform::DirChange;

class DirWatcher : public QObject {
  Q_OBJECT

 public:
  // `changes` in order; `lost` when the system dropped some (read the whole directory
  // again); `alive` false when a watched directory went away (the watch has stopped).
  using Handler = std::function<void(const std::vector<DirChange>& changes, bool lost, bool alive)>;

  DirWatcher();
  ~DirWatcher() override;

  // Watches `dirs` (at least one) until Stop or the next Watch; with `writes`, a file
  // written there and closed is a change too (a message copied in rather than moved). A directory that cannot be watched is skipped; 0 when the first
  // could be watched, else its status code (and nothing is watched).
  uint32_t Watch(const std::vector<std::string>& dirs, bool writes, Handler handler);
  void Stop();
  bool IsWatching() const { return watch_.IsOpen(); }

 private:
  void OnSignalled();
  void Deliver();

  platform::ChangeNotification watch_;
  std::unique_ptr<QSocketNotifier> notifier_;
  Handler handler_;
  std::vector<DirChange> pending_;
  bool lost_ = false;
  bool alive_ = true;
  bool queued_ = false;
};

}  // namespace pelldesk
