// Fault injection: per-operation countdowns read with one relaxed load when idle.
#include "platform/fault.h"

#include <atomic>
#include <mutex>
#include <utility>

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

// The thread the plan is kept to, by a number of this file's own (0: every thread);
// a forked child keeps its parent thread's number, and with it the parent's plan.
std::atomic<uint64_t> g_only_thread{0};

uint64_t ThisThread() noexcept {
  static std::atomic<uint64_t> next{1};
  thread_local const uint64_t id = next.fetch_add(1);
  return id;
}

// Actions to run before a chosen call; rare and test-only, so a mutex is cheap enough.
struct Action {
  unsigned nth = 0;  // 0: none
  std::function<void()> run;
};
std::mutex g_actions_mutex;
Action g_actions[kOps];

void RunAction(Op op, unsigned call) {
  std::function<void()> run;
  {
    std::lock_guard<std::mutex> lock(g_actions_mutex);
    Action& a = g_actions[static_cast<unsigned>(op)];
    if (a.nth == 0 || a.nth != call) return;
    run = std::move(a.run);
    a = Action{};
  }
  if (run) run();
}

}  // namespace

void FailNth(Op op, unsigned nth, uint32_t code, bool repeat) noexcept {
  Plan& p = g_plans[static_cast<unsigned>(op)];
  p.code.store(code);
  p.repeat.store(repeat);
  p.nth.store(p.calls.load() + (nth == 0 ? 1 : nth));
  g_armed.store(true);
}

void RunBeforeNth(Op op, unsigned nth, std::function<void()> action) {
  Plan& p = g_plans[static_cast<unsigned>(op)];
  {
    std::lock_guard<std::mutex> lock(g_actions_mutex);
    g_actions[static_cast<unsigned>(op)] = Action{p.calls.load() + (nth == 0 ? 1 : nth), std::move(action)};
  }
  g_armed.store(true);
}

void Clear() noexcept {
  g_armed.store(false);
  {
    std::lock_guard<std::mutex> lock(g_actions_mutex);
    for (Action& a : g_actions) a = Action{};
  }
  for (Plan& p : g_plans) {
    p.nth.store(0);
    p.calls.store(0);
    p.code.store(0);
    p.repeat.store(false);
  }
}

void OnlyThisThread() noexcept { g_only_thread.store(ThisThread()); }

void EveryThread() noexcept { g_only_thread.store(0); }

unsigned Calls(Op op) noexcept { return g_plans[static_cast<unsigned>(op)].calls.load(); }

uint32_t Check(Op op) noexcept {
  const uint64_t only = g_only_thread.load(std::memory_order_relaxed);
  if (only != 0 && only != ThisThread()) return 0;
  Plan& p = g_plans[static_cast<unsigned>(op)];
  unsigned call = p.calls.fetch_add(1, std::memory_order_relaxed) + 1;
  if (!g_armed.load(std::memory_order_relaxed)) return 0;
  RunAction(op, call);
  unsigned nth = p.nth.load();
  if (nth == 0) return 0;
  if (call == nth || (call > nth && p.repeat.load())) return p.code.load();
  return 0;
}

}  // namespace platform::fault
