// Cross-thread calls into the user-interface thread.
#include "framework/gui_dispatcher.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>

namespace fw {
namespace {
const QEvent::Type kCallEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
}  // namespace

GuiDispatcher& GuiDispatcher::Instance() {
  // Never destroyed: a thread may still hold a reference while the program ends.
  static GuiDispatcher* dispatcher = [] {
    auto* d = new GuiDispatcher;
    if (QCoreApplication* app = QCoreApplication::instance()) d->moveToThread(app->thread());
    return d;
  }();
  return *dispatcher;
}

bool GuiDispatcher::Call(const std::function<void()>& fn) {
  if (QThread::currentThread() == thread()) {
    fn();
    return true;
  }
  auto pending = std::make_shared<Pending>();
  pending->fn = fn;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_) return false;
    queue_.push_back(pending);
  }
  QCoreApplication::postEvent(this, new QEvent(kCallEvent));
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return pending->done || pending->abandoned; });
  return pending->done;
}

void GuiDispatcher::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  closed_ = true;
  for (auto& pending : queue_) pending->abandoned = true;
  queue_.clear();
  changed_.notify_all();
}

void GuiDispatcher::Open() {
  std::lock_guard<std::mutex> lock(mutex_);
  closed_ = false;
}

std::size_t GuiDispatcher::Waiting() {
  std::lock_guard<std::mutex> lock(mutex_);
  return queue_.size();
}

bool GuiDispatcher::event(QEvent* event) {
  if (event->type() != kCallEvent) return QObject::event(event);
  for (;;) {
    std::shared_ptr<Pending> pending;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (queue_.empty()) break;
      pending = queue_.front();
      queue_.pop_front();
    }
    pending->fn();
    std::lock_guard<std::mutex> lock(mutex_);
    pending->done = true;
    changed_.notify_all();
  }
  return true;
}

}  // namespace fw
