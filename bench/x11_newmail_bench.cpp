// New mail shown by the whole client on an X server with default settings (the sound
// is on; with no sound device the three beeps stand in for it): from a message renamed
// into "new" until the main frame's new-mail pane, painted with the new count, has
// reached the server, with "new" holding 0 and 9,999 messages. Beside it in the same
// run, the floor: the new-mail monitor alone on the same folder, no window and no sound
// (newmail_bench's figure). The client watches one "new" folder for its whole run, so
// each count has a client process of its own. The benchmark starts its own Xvfb;
// without one it says so and ends. Nothing is deleted until the end.
#include <benchmark/benchmark.h>

#include <QLabel>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_root.h"
#include "desk_session.h"
#include "mainframe/main_frame.h"
#include "monitor_alone.h"
#include "pellam.h"
#include "private_x_server.h"
#include "shown_clock.h"

namespace {

namespace fs = std::filesystem;
using Clock = bench::ShownClock::Clock;

constexpr int kFullFolder = 9999;

int g_messages = 0;    // in "new" when the client starts
std::string g_new;     // the client's "new" folder, ending in "/"
std::string g_staged;  // where arrivals are written before they are renamed in
int g_arrivals = 0;
bench::ShownClock* g_clock = nullptr;
bench::DeskSession* g_desk = nullptr;
bool g_deskTried = false;
bool g_deskReady = false;

// A new message written outside "new" (untimed); its name there is returned.
std::string StageArrival(const char* prefix, std::string* staged) {
  char name[32];
  std::snprintf(name, sizeof name, "%s%05d.mai", prefix, g_arrivals++);
  *staged = g_staged + name;
  bench::WriteArrival(*staged);
  return name;
}

double SecondsSince(Clock::time_point start, Clock::time_point end) {
  return std::chrono::duration<double>(end - start).count();
}

void BM_FloorMonitorAlone(benchmark::State& state) {
  std::vector<std::string> arrived;
  {
    bench::MonitorAlone monitor(g_new);
    if (!monitor.started()) state.SkipWithError("the monitor made no first report");
    for (auto _ : state) {
      if (!monitor.started()) break;
      std::string staged;
      const std::string name = StageArrival("flo", &staged);
      const int wanted = monitor.reports() + 1;
      const auto start = Clock::now();
      fs::rename(staged, g_new + name);
      if (!monitor.WaitForReports(wanted)) {
        state.SkipWithError("no report");
        break;
      }
      state.SetIterationTime(SecondsSince(start, Clock::now()));
      arrived.push_back(name);
    }
  }
  // Out again (renamed, not deleted), so that the client finds "new" as it was.
  const std::string out = bench::Root().root() + "/out/" + std::to_string(g_messages) + "/";
  fs::create_directories(out);
  for (const std::string& name : arrived) fs::rename(g_new + name, out + name);
}

pelldesk::CMainFrame* Frame() { return g_desk->app().mainFrameWindow(); }

// The client started, after the floor so that its monitor sees none of the floor's
// arrivals, and its report of what "new" holds at start handled, sound and all.
bool DeskReady() {
  if (!g_deskTried) {
    g_deskTried = true;
    g_deskReady = g_desk->Start() &&
                  bench::ProcessEventsUntil([] { return Frame() != nullptr && Frame()->shownCount() == g_messages; },
                                            10000);
  }
  return g_deskReady;
}

void BM_RenameToPanePainted(benchmark::State& state) {
  if (!DeskReady()) {
    state.SkipWithError("the client did not start, or did not count \"new\"");
    return;
  }
  double handledSeconds = 0;
  for (auto _ : state) {
    std::string staged;
    const std::string name = StageArrival("arr", &staged);
    const int wanted = Frame()->shownCount() + 1;
    const QString text = QString::fromLatin1(pelldesk::NewMailPaneText(wanted));
    g_clock->Expect([text](QWidget* widget) {
      const auto* label = qobject_cast<QLabel*>(widget);
      return label != nullptr && label->text() == text;
    });
    const auto start = Clock::now();
    fs::rename(staged, g_new + name);
    // Returns once the report is handled, the sound included: the next arrival finds
    // the user-interface thread idle.
    if (!g_clock->WaitUntilShown(5000)) {
      state.SkipWithError("the pane did not show the new count within 5 s");
      break;
    }
    state.SetIterationTime(SecondsSince(start, g_clock->shownAt()));
    handledSeconds = SecondsSince(start, Clock::now());
  }
  // Until the report was handled in full, the sound included: how long the main
  // frame was busy, which the pane no longer waits for.
  state.counters["handled_ms"] = handledSeconds * 1e3;
}

void Settings(benchmark::internal::Benchmark* b) {
  b->Iterations(1)->Repetitions(15)->ReportAggregatesOnly(true)->UseManualTime()->Unit(benchmark::kMillisecond);
}

// One client process: the floor, then the client, both on "new" as the parent left it.
int RunClient(int argc, char** argv) {
  bench::ShownClock qt(argc, argv);
  bench::DeskSession desk;
  g_clock = &qt;
  g_desk = &desk;
  const std::string suffix = "/messages:" + std::to_string(g_messages);
  benchmark::RegisterBenchmark(("BM_FloorMonitorAlone" + suffix).c_str(), BM_FloorMonitorAlone)->Apply(Settings);
  benchmark::RegisterBenchmark(("BM_RenameToPanePainted" + suffix).c_str(), BM_RenameToPanePainted)
      ->Apply(Settings);
  benchmark::RunSpecifiedBenchmarks();
  return g_deskTried && !g_deskReady ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const bench::PrivateXServer server;  // first: without it there is nothing to do
  if (!server.running()) {
    std::fprintf(stderr, "x11_newmail_bench: skipped: %s\n", server.why().c_str());
    return 0;
  }
  const std::string root = bench::Root().root();  // the sandbox, the calling user registered
  MailProfile profile{};
  if (GetMailProfile(&profile, sizeof profile) != 0) {
    std::fprintf(stderr, "x11_newmail_bench: no mail profile in the sandbox\n");
    return 1;
  }
  std::string mail = profile.MailDirectory;
  if (mail.empty() || mail.back() != '/') mail += '/';
  g_new = mail + "new/";
  g_staged = root + "/staged/";
  fs::create_directories(g_new);
  fs::create_directories(g_staged);
  const std::string full = root + "/full-new/";
  bench::FillNewFolder(full, kFullFolder);
  const std::string runtime = root + "/runtime";
  fs::create_directories(runtime);
  fs::permissions(runtime, fs::perms::owner_all);
  setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);

  int code = 0;
  for (int messages : {0, kFullFolder}) {
    if (messages == kFullFolder) {
      fs::rename(g_new, root + "/empty-new");  // set aside, not deleted
      fs::rename(full, g_new);
    }
    g_messages = messages;
    const int ended = bench::RunUnder(server, 55, [&] { return RunClient(argc, argv); });
    if (ended != 0) {
      std::fprintf(stderr, "x11_newmail_bench: the client's process for %d messages ended with %d\n", messages,
                   ended);
      code = ended;
    }
  }
  benchmark::Shutdown();
  return code;
}
