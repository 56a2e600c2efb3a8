// Opening a folder of 9,999 messages (1 KB each) in the whole client on an X server:
// from a double click on the folder's line in the folder-tree window until the folder
// window's first paint has reached the server, with the process's write calls per open
// (the X requests go out by write calls), beside the floor in the same run: the same
// load with its view's first paint in process, no window (folder_bench's figure). The
// benchmark starts its own Xvfb; without one it says so and ends.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QMouseEvent>

#include <time.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "bench_root.h"
#include "desk_session.h"
#include "folder/dir_view.h"
#include "folder_fixture.h"
#include "framework/doc_template.h"
#include "framework/document.h"
#include "pellam.h"
#include "private_x_server.h"
#include "shown_clock.h"
#include "tree/tree_doc.h"
#include "tree/tree_view.h"

namespace {

namespace fs = std::filesystem;

constexpr int kMessages = 9999;
constexpr const char* kFolderName = "big";

std::string g_folder;  // its full path, no final "/"
bench::ShownClock* g_clock = nullptr;
bench::DeskSession* g_desk = nullptr;

pelldesk::CTreeView* TreeView() {
  const auto docs = g_desk->app().treeTemplate()->documents();
  if (docs.empty() || docs.front()->views().empty()) return nullptr;
  return dynamic_cast<pelldesk::CTreeView*>(docs.front()->views().front());
}

int FolderRow(const pelldesk::CTreeView* view) {
  const auto* doc = dynamic_cast<const pelldesk::CTreeDoc*>(view->document());
  for (int i = 0; doc != nullptr && i < doc->count(); ++i) {
    if (doc->GetFolderEntry(i).path == g_folder) return i;
  }
  return -1;
}

void Mouse(pelldesk::CTreeView* view, QEvent::Type type, QPointF at) {
  QMouseEvent event(type, at, view->viewport()->mapToGlobal(at), Qt::LeftButton,
                    type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(view->viewport(), &event);
}

// What the view gets from a double click in the middle of line `row`: press, release,
// double click, release.
void DoubleClick(pelldesk::CTreeView* view, int row) {
  const QPointF at(30, row * view->lineHeight() + view->lineHeight() / 2);
  for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick,
                            QEvent::MouseButtonRelease}) {
    Mouse(view, type, at);
  }
}

// The processor time of this process so far, all threads (the X server's is not in it).
double ProcessCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

bool IsFolderView(QWidget* widget) {
  return dynamic_cast<pelldesk::CDirView*>(widget) != nullptr ||
         dynamic_cast<pelldesk::CDirView*>(widget->parentWidget()) != nullptr;
}

struct Open {
  double seconds = 0;     // from the double click until the window is on the screen
  double cpuSeconds = 0;  // the processor time this process spent on it
  long long writeCalls = 0;
};

// One open of the folder window; false (with the reason in `why`) when it did not open.
bool OpenOnce(Open* open, const char** why) {
  pelldesk::CTreeView* tree = TreeView();
  const int row = tree != nullptr ? FolderRow(tree) : -1;
  if (row < 0) {
    *why = "the folder is not in the tree window";
    return false;
  }
  g_clock->Expect(IsFolderView);
  const long long before = bench::WriteCalls();
  const double cpuBefore = ProcessCpuSeconds();
  const auto start = bench::ShownClock::Clock::now();
  DoubleClick(tree, row);
  if (!g_clock->WaitUntilShown(10000)) {
    *why = "no folder window was painted within 10 s";
    return false;
  }
  open->seconds = std::chrono::duration<double>(g_clock->shownAt() - start).count();
  open->cpuSeconds = ProcessCpuSeconds() - cpuBefore;
  open->writeCalls = g_clock->writeCallsWhenShown() - before;
  return true;
}

// Untimed: every folder window closed, and what that left to do done.
void CloseFolderWindows() {
  for (fw::Document* doc : g_desk->app().folderTemplate()->documents()) doc->OnCloseDocument();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  bench::ProcessEventsUntil([] { return false; }, 100);
}

void BM_FloorLoadAndFirstPaint(benchmark::State& state) {
  for (auto _ : state) {
    if (!bench::LoadAndFirstPaint(g_folder)) state.SkipWithError("the folder did not load");
  }
}

// Its CPU column counts the closing too; cpu_ms is the open's alone.
void BM_DoubleClickToFirstPaint(benchmark::State& state) {
  Open open;
  for (auto _ : state) {
    const char* why = "";
    if (!OpenOnce(&open, &why)) {
      state.SkipWithError(why);
      break;
    }
    state.SetIterationTime(open.seconds);
    CloseFolderWindows();
  }
  state.counters["cpu_ms"] = open.cpuSeconds * 1e3;
  state.counters["write_calls"] = static_cast<double>(open.writeCalls);
}

void Settings(benchmark::internal::Benchmark* b) {
  b->Arg(kMessages)->ArgName("messages")->Iterations(1)->Repetitions(11)->ReportAggregatesOnly(true);
  b->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_FloorLoadAndFirstPaint)->Apply(Settings)->UseRealTime();
BENCHMARK(BM_DoubleClickToFirstPaint)->Apply(Settings)->UseManualTime();

// The client's process: Qt on the private server, the client started, one open before
// anything is timed (file cache, fonts, the first window's own costs), then the runs.
int RunClient(int argc, char** argv) {
  bench::ShownClock qt(argc, argv);
  bench::DeskSession desk;
  if (!desk.Start()) return 1;
  g_clock = &qt;
  g_desk = &desk;
  Open open;
  const char* why = "";
  if (!OpenOnce(&open, &why)) {
    std::fprintf(stderr, "x11_folder_bench: %s\n", why);
    return 1;
  }
  CloseFolderWindows();
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const bench::PrivateXServer server;  // first: without it there is nothing to do
  if (!server.running()) {
    std::fprintf(stderr, "x11_folder_bench: skipped: %s\n", server.why().c_str());
    return 0;
  }
  bench::Root();  // the sandbox: PELLAM_ROOT with the calling user registered
  MailProfile profile{};
  if (GetMailProfile(&profile, sizeof profile) != 0) {
    std::fprintf(stderr, "x11_folder_bench: no mail profile in the sandbox\n");
    return 1;
  }
  std::string mail = profile.MailDirectory;
  if (mail.empty() || mail.back() != '/') mail += '/';
  g_folder = mail + kFolderName;
  bench::FillFolder(g_folder + "/", kMessages, 1024, 1024);
  const std::string runtime = bench::Root().root() + "/runtime";
  fs::create_directories(runtime);
  fs::permissions(runtime, fs::perms::owner_all);
  setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);

  const int code = bench::RunUnder(server, 55, [&] { return RunClient(argc, argv); });
  if (code != 0) std::fprintf(stderr, "x11_folder_bench: the client's process ended with %d\n", code);
  benchmark::Shutdown();
  return code;
}
