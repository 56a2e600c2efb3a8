// Fault injection: per-operation countdowns read with one relaxed load when idle.
#include "platform/fault.h"

#include <atomic>

namespace platform::fault {
namespace {

constexpr unsigned kOps = static_cast<unsigned>(Op::Count);

struct Plan {
  std::atomic<unsigned> calls{0};
  std::atomic<unsigned> nth{0};  // 0: not armed
  std::atomic<uint32_t> code{0};
  std::atomic<bool> repeat{false};
};

Plan g_plans[kOps];
std::atomic<bool> g_armed{false};

}  // namespace

void FailNth(Op op, unsigned nth, uint32_t code, bool repeat) noexcept {
  Plan& p = g_plans[static_cast<unsigned>(op)];
  p.code.store(code);
  p.repeat.store(repeat);
  p.nth.store(p.calls.load() + (nth == 0 ? 1 : nth));
  g_armed.store(true);
}

void Clear() noexcept {
  g_armed.store(false);
  for (Plan& p : g_plans) {
    p.nth.store(0);
    p.calls.store(0);
    p.code.store(0);
    p.repeat.store(false);
  }
}

unsigned Calls(Op op) noexcept { return g_plans[static_cast<unsigned>(op)].calls.load(); }

uint32_t Check(Op op) noexcept {
  Plan& p = g_plans[static_cast<unsigned>(op)];
  unsigned call = p.calls.fetch_add(1, std::memory_order_relaxed) + 1;
  if (!g_armed.load(std::memory_order_relaxed)) return 0;
  unsigned nth = p.nth.load();
  if (nth == 0) return 0;
  if (call == nth || (call > nth && p.repeat.load())) return p.code.load();
  return 0;
}

}  // namespace platform::fault
