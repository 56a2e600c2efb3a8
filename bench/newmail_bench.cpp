// New mail shown: from a message renamed into "new" until the monitor has counted it
// and handed its report to the main frame, with "new" holding 0 and 9999 messages,
// beside its floor in the same run (the rename, and the wake of a bare change
// notification with one look at the file). The monitor keeps its count from the names
// the notification reports, so the folder's size should not show.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "monitor_alone.h"
#include "platform/change_notify.h"
#include "platform/events.h"
#include "platform/file_time.h"

namespace {

namespace fs = std::filesystem;

std::string g_root;
int g_arrivals = 0;  // names are never used twice, across runs too

// "new" with `count` messages, made once.
std::string NewFolder(int count) {
  const std::string dir = g_root + "/new" + std::to_string(count) + "/";
  if (!fs::exists(dir)) bench::FillNewFolder(dir, count);
  return dir;
}

// Each run stages a fresh file (untimed) and times its rename into "new" until the
// report; files are never deleted between runs (deletions slow file creation here).
void BM_RenameToReport(benchmark::State& state) {
  const std::string dir = NewFolder(static_cast<int>(state.range(0)));
  bench::MonitorAlone monitor(dir);
  if (!monitor.started()) state.SkipWithError("no first report");
  int& n = g_arrivals;
  for (auto _ : state) {
    if (!monitor.started()) break;
    state.PauseTiming();
    const std::string staged = g_root + "/staged-" + std::to_string(state.range(0)) + "-" + std::to_string(n);
    char name[32];
    std::snprintf(name, sizeof name, "arr%05d.mai", n++);
    bench::WriteArrival(staged);
    const int wanted = monitor.reports() + 1;
    state.ResumeTiming();
    fs::rename(staged, dir + name);
    if (!monitor.WaitForReports(wanted)) {
      state.SkipWithError("no report");
      break;
    }
  }
  state.counters["count"] = monitor.count();
}

// The floor: the rename, the wake of a notification on another thread, one look.
void BM_RenameToReportFloor(benchmark::State& state) {
  const std::string dir = NewFolder(static_cast<int>(state.range(0)));
  platform::ChangeNotification change;
  if (change.Open(dir) != 0) {
    state.SkipWithError("cannot watch");
    return;
  }
  int& n = g_arrivals;
  for (auto _ : state) {
    state.PauseTiming();
    const std::string staged = g_root + "/floor-" + std::to_string(state.range(0)) + "-" + std::to_string(n);
    char name[32];
    std::snprintf(name, sizeof name, "flo%05d.mai", n++);
    bench::WriteArrival(staged);
    state.ResumeTiming();
    std::atomic<bool> seen{false};
    std::thread waiter([&] {
      const int handle = change.handle();
      if (platform::WaitForObjects(&handle, 1, 5000) == 0) {
        std::vector<platform::DirChange> changes;
        change.ReadChanges(&changes, nullptr);
        int64_t written = 0;
        for (const auto& c : changes) platform::GetLastWriteTime((dir + c.name).c_str(), &written);
        seen = true;
      }
    });
    fs::rename(staged, dir + name);
    waiter.join();
    if (!seen) {
      state.SkipWithError("no change seen");
      break;
    }
  }
}

BENCHMARK(BM_RenameToReportFloor)->Arg(0)->Arg(9999)->ArgName("messages")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RenameToReport)->Arg(0)->Arg(9999)->ArgName("messages")->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  char root[] = "/tmp/pellam-newmail-bench-XXXXXX";
  if (::mkdtemp(root) == nullptr) return 1;
  g_root = root;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  fs::remove_all(g_root, ec);  // only now, after every timed run
  return 0;
}
