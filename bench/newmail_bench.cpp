// New mail shown: from a message renamed into "new" until the monitor has counted it
// and handed its report to the main frame, with "new" holding 0 and 9999 messages,
// beside its floor in the same run (the rename, and the wake of a bare change
// notification with one look at the file). The monitor keeps its count from the names
// the notification reports, so the folder's size should not show.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>

#include "monitor/new_mail_monitor.h"
#include "platform/change_notify.h"
#include "platform/events.h"
#include "platform/file_time.h"

namespace {

namespace fs = std::filesystem;

std::string g_root;
int g_arrivals = 0;  // names are never used twice, across runs too

void WriteMessage(const std::string& path) {
  std::ofstream(path, std::ios::binary) << "Received: by NODEA; Mon, 12 Jan 1995 10:00:30 GMT\r\n"
                                           "From: NODEA::SENDER\r\nSubject: s\r\n\r\nText.\r\n";
}

// "new" with `count` messages, made once.
std::string NewFolder(int count) {
  const std::string dir = g_root + "/new" + std::to_string(count) + "/";
  if (fs::exists(dir)) return dir;
  fs::create_directories(dir);
  for (int i = 1; i <= count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "msg%04d.mai", i);
    WriteMessage(dir + name);
  }
  return dir;
}

// Each run stages a fresh file (untimed) and times its rename into "new" until the
// report; files are never deleted between runs (deletions slow file creation here).
void BM_RenameToReport(benchmark::State& state) {
  const std::string dir = NewFolder(static_cast<int>(state.range(0)));
  pelldesk::MonitorShared shared;
  shared.newFolderPath = dir;
  if (shared.stopEvent.Create() != 0) {
    state.SkipWithError("no event");
    return;
  }
  std::mutex mutex;
  std::condition_variable reported;
  int reports = 0;
  shared.sendNewMail = [&] {
    std::lock_guard<std::mutex> lock(mutex);
    ++reports;
    if (std::getenv("NEWMAIL_BENCH_TRACE")) std::fprintf(stderr, "report %d count %d\n", reports, shared.newMailCount);
    reported.notify_all();
  };
  shared.reportError = [](const char*, uint32_t) { return 1; };
  std::thread monitor([&] { pelldesk::NewMailMonitor(shared); });
  const auto waitFor = [&](int wanted) {
    std::unique_lock<std::mutex> lock(mutex);
    return reported.wait_for(lock, std::chrono::seconds(5), [&] { return reports >= wanted; });
  };
  const bool started = waitFor(1);
  if (!started) state.SkipWithError("no first report");
  int& n = g_arrivals;
  for (auto _ : state) {
    if (!started) break;
    state.PauseTiming();
    const std::string staged = g_root + "/staged-" + std::to_string(state.range(0)) + "-" + std::to_string(n);
    char name[32];
    std::snprintf(name, sizeof name, "arr%05d.mai", n++);
    WriteMessage(staged);
    const int wanted = reports + 1;
    state.ResumeTiming();
    fs::rename(staged, dir + name);
    if (!waitFor(wanted)) {
      state.SkipWithError("no report");
      break;
    }
  }
  shared.stopEvent.Set();
  monitor.join();
  state.counters["count"] = shared.newMailCount;
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
    WriteMessage(staged);
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
