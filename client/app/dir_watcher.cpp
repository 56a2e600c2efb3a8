// Change notifications delivered by the event loop.
#include "app/dir_watcher.h"

#include <QSocketNotifier>

namespace pelldesk {

DirWatcher::DirWatcher() = default;

DirWatcher::~DirWatcher() { Stop(); }

uint32_t DirWatcher::Watch(const std::vector<std::string>& dirs, bool writes, Handler handler) {
  Stop();
  pending_.clear();
  lost_ = false;
  alive_ = true;
  if (dirs.empty()) return 0;
  const unsigned filter = platform::kNotifyFileName | (writes ? platform::kNotifyWritten : 0u);
  if (const uint32_t code = watch_.Open(dirs.front(), filter)) return code;
  for (std::size_t i = 1; i < dirs.size(); ++i) watch_.Add(dirs[i]);  // one gone meanwhile is not watched
  handler_ = std::move(handler);
  notifier_ = std::make_unique<QSocketNotifier>(watch_.handle(), QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, &DirWatcher::OnSignalled);
  return 0;
}

void DirWatcher::Stop() {
  notifier_.reset();  // before the descriptor it watches is closed
  watch_.Close();
  handler_ = nullptr;
}

void DirWatcher::OnSignalled() {
  bool lost = false;
  if (!watch_.ReadChanges(&pending_, &lost)) {
    alive_ = false;
    notifier_->setEnabled(false);
  }
  lost_ = lost_ || lost;
  // Handled once the notifier's signal is over (the handler may watch anew, which
  // replaces the notifier), and once for a burst of changes.
  if (queued_) return;
  queued_ = true;
  QMetaObject::invokeMethod(this, &DirWatcher::Deliver, Qt::QueuedConnection);
}

void DirWatcher::Deliver() {
  queued_ = false;
  if (pending_.empty() && !lost_ && alive_) return;
  const std::vector<DirChange> changes = std::move(pending_);
  pending_.clear();
  const bool lost = lost_;
  const bool alive = alive_;
  lost_ = false;
  // The handler may watch anew, or close the window that owns this watch.
  Handler handler = handler_;
  if (!alive) Stop();
  if (handler) handler(changes, lost, alive);
}

}  // namespace pelldesk
