// The hive connections a process keeps: one per hive, opened on first use, a few at
// most (least recently used first out), so that a service serving many users holds few
// files open. A kept connection is lent only to the process and effective user that
// opened it, and only while Hive::StillCurrent holds; otherwise the hive is opened
// afresh, with every check. A child never uses, nor closes, its parent's connections.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

#include "hive_location.h"
#include "registry_store.h"

namespace platform::registry {

// A connection lent to one caller, locked against other threads while lent.
class HiveLease {
 public:
  HiveLease() noexcept = default;
  Hive& hive() const noexcept { return *hive_; }
  // Whether the connection was kept from an earlier call rather than opened for this one.
  bool reused() const noexcept { return reused_; }

 private:
  friend uint32_t AcquireHive(const HiveLocation&, bool, bool, HiveLease*);
  std::shared_ptr<Hive> hive_;
  std::unique_lock<std::mutex> lock_;
  bool reused_ = false;
};

// Lends the connection to the hive at `location`: the kept one when it may be used
// (and can write, when `write`), else a new one (Hive::Open with `write` and
// `create`), which is then kept. A fault armed for fault::Op::Open fails it either way.
uint32_t AcquireHive(const HiveLocation& location, bool write, bool create, HiveLease* lease);

// Stops keeping `hive` (after trouble): the next use opens the hive afresh.
void DropHive(const Hive* hive);

// Runs `operation(Hive&)` on a lent connection. When a kept connection fails with
// trouble of its own (Hive::Troubled) it is dropped, and the operation runs once more
// on a fresh one, which sees the file as a first open would.
template <typename Operation>
uint32_t WithHive(const HiveLocation& location, bool write, bool create, Operation operation) {
  for (int attempt = 0;; ++attempt) {
    HiveLease lease;
    if (uint32_t code = AcquireHive(location, write, create, &lease)) return code;
    const uint32_t code = operation(lease.hive());
    if (write) lease.hive().NoteFileState();
    if (code == 0 || !lease.hive().Troubled(code)) return code;
    DropHive(&lease.hive());
    if (!lease.reused() || attempt > 0) return code;
  }
}

// For tests: the most connections kept (8 unless set), how many are kept now, and how
// many this process has opened so far.
void SetKeptHiveLimit(size_t limit);
size_t KeptHiveCount();
uint64_t HiveOpenCount();

}  // namespace platform::registry
