// The process's kept hive connections: a short list in order of use, under one lock,
// replaced wholesale in a child after fork.
#include "hive_cache.h"

#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <list>
#include <utility>

#include "platform/errors.h"
#include "platform/fault.h"

namespace platform::registry {
namespace {

struct Kept {
  std::shared_ptr<Hive> hive;
  uid_t euid;
  gid_t egid;
};

struct Cache {
  std::mutex mutex;
  std::list<Kept> kept;  // most recently used first
  size_t limit = 8;
  uint64_t opened = 0;
  pid_t owner = ::getpid();
  // The cache of the process this one was forked from, kept reachable but never used.
  Cache* abandoned = nullptr;
};

std::atomic<Cache*> g_cache{nullptr};

// A forked child starts with an empty cache of its own. The parent's stays allocated
// and untouched (its lock may even be held by a thread the child does not have), so
// none of its connections is used or closed here.
void StartAfresh() {
  auto* fresh = new Cache();
  fresh->abandoned = g_cache.load();
  if (fresh->abandoned != nullptr) fresh->limit = fresh->abandoned->limit;
  g_cache.store(fresh);
}

Cache& TheCache() {
  Cache* cache = g_cache.load();
  if (cache == nullptr) {
    static std::once_flag once;
    std::call_once(once, [] {
      pthread_atfork(nullptr, nullptr, StartAfresh);
      Cache* none = nullptr;
      g_cache.compare_exchange_strong(none, new Cache());
    });
    cache = g_cache.load();
  }
  // A child made without the fork hooks (a raw clone) is caught here.
  if (cache->owner != ::getpid()) {
    Cache* fresh = new Cache();
    fresh->limit = cache->limit;
    fresh->abandoned = cache;
    if (!g_cache.compare_exchange_strong(cache, fresh)) delete fresh;
    cache = g_cache.load();
  }
  return *cache;
}

bool SameHive(const HiveLocation& a, const HiveLocation& b) {
  return a.machine == b.machine && a.uid == b.uid && a.gid == b.gid && a.path == b.path;
}

}  // namespace

uint32_t AcquireHive(const HiveLocation& location, bool write, bool create, HiveLease* lease) {
  if (uint32_t code = fault::Check(fault::Op::Open)) return code;
  Cache& cache = TheCache();
  const uid_t euid = ::geteuid();
  const gid_t egid = ::getegid();
  std::shared_ptr<Hive> found;
  {
    std::lock_guard<std::mutex> guard(cache.mutex);
    for (auto it = cache.kept.begin(); it != cache.kept.end(); ++it) {
      if (!SameHive(it->hive->location(), location)) continue;
      if (it->euid == euid && it->egid == egid && (!write || it->hive->writable())) {
        found = it->hive;
        cache.kept.splice(cache.kept.begin(), cache.kept, it);
      }
      break;
    }
  }
  if (found != nullptr) {
    std::unique_lock<std::mutex> lock(found->mutex());
    if (found->StillCurrent()) {
      lease->hive_ = std::move(found);
      lease->lock_ = std::move(lock);
      lease->reused_ = true;
      return ERROR_SUCCESS;
    }
    lock.unlock();
    DropHive(found.get());
  }

  std::unique_ptr<Hive> opened;
  if (uint32_t code = Hive::Open(location, write, create, &opened)) return code;
  std::shared_ptr<Hive> hive(std::move(opened));
  {
    std::lock_guard<std::mutex> guard(cache.mutex);
    ++cache.opened;
    // The new connection replaces any other for the same hive: one per hive.
    cache.kept.remove_if([&](const Kept& k) { return SameHive(k.hive->location(), location); });
    cache.kept.push_front(Kept{hive, euid, egid});
    while (cache.kept.size() > cache.limit) cache.kept.pop_back();
  }
  lease->lock_ = std::unique_lock<std::mutex>(hive->mutex());
  lease->hive_ = std::move(hive);
  lease->reused_ = false;
  return ERROR_SUCCESS;
}

void DropHive(const Hive* hive) {
  Cache& cache = TheCache();
  std::lock_guard<std::mutex> guard(cache.mutex);
  cache.kept.remove_if([hive](const Kept& k) { return k.hive.get() == hive; });
}

void SetKeptHiveLimit(size_t limit) {
  Cache& cache = TheCache();
  std::lock_guard<std::mutex> guard(cache.mutex);
  cache.limit = std::max<size_t>(limit, 1);
  while (cache.kept.size() > cache.limit) cache.kept.pop_back();
}

size_t KeptHiveCount() {
  Cache& cache = TheCache();
  std::lock_guard<std::mutex> guard(cache.mutex);
  return cache.kept.size();
}

uint64_t HiveOpenCount() {
  Cache& cache = TheCache();
  std::lock_guard<std::mutex> guard(cache.mutex);
  return cache.opened;
}

}  // namespace platform::registry
