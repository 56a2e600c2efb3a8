// Opening a folder window on 1000 and 9999 messages of 200 B to 20 KB, warm cache: the
// load of CDirDoc (listing, then the three headers of each file) and the load with the
// first paint of its view, beside the floor measured in the same run (listing and
// reading the first 512 bytes of each file, nothing else), the folder-is-empty test the
// folder commands' enable rules run, and the memory that 9999 entries take in the
// document and in the view's line texts; and what an open window of 9999 messages
// pays when one more arrives, beside reading that one file.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "app/client_resources.h"
#include "app/font_value.h"
#include "app/mail_app.h"
#include "app/mail_paths.h"
#include "folder_fixture.h"
#include "folder/dir_doc.h"
#include "folder/dir_view.h"
#include "framework/message_box.h"
#include "platform/files.h"
#include "platform/find.h"

namespace {

namespace fs = std::filesystem;

std::string g_root;

// A folder of `count` messages whose sizes spread evenly over 200 B to 20 KB.
std::string MakeFolder(int count) {
  const std::string folder = g_root + "/f" + std::to_string(count) + "/";
  bench::FillFolder(folder, count, 200, 20 * 1024);
  return folder;
}

const std::string& Folder(int count) {
  static std::string folders[2];
  std::string& folder = folders[count > 1000 ? 1 : 0];
  if (folder.empty()) folder = MakeFolder(count);
  return folder;
}

// What the folder window is given by the application object that main makes.
const pelldesk::ClientServices& Services() { return pelldesk::CMailApp::Get().services(); }

std::string WithoutSlash(std::string path) {
  path.pop_back();
  return path;
}

// The floor: the same listing and the first 512 bytes of every file.
void BM_Floor(benchmark::State& state) {
  const std::string folder = Folder(static_cast<int>(state.range(0)));
  const std::string pattern = folder + "*.mai";
  char buffer[512];
  for (auto _ : state) {
    platform::FindData data{};
    platform::FindHandle search = platform::FindFirstFile(pattern.c_str(), &data);
    int files = 0;
    if (search != nullptr) {
      do {
        platform::UniqueFile file(platform::CreateFile((folder + data.name).c_str(), platform::kRead,
                                                       platform::kShareRead | platform::kShareWrite,
                                                       platform::kOpenExisting));
        uint32_t got = 0;
        if (file && platform::ReadFile(file.get(), buffer, sizeof buffer, &got)) ++files;
      } while (platform::FindNextFile(search, &data));
      platform::FindClose(search);
    }
    benchmark::DoNotOptimize(files);
  }
}

void BM_Load(benchmark::State& state) {
  const std::string folder = WithoutSlash(Folder(static_cast<int>(state.range(0))));
  for (auto _ : state) {
    pelldesk::CDirDoc doc(Services());
    if (!doc.OnOpenDocument(folder)) state.SkipWithError("the folder did not load");
    benchmark::DoNotOptimize(doc.count());
  }
}

void BM_LoadAndFirstPaint(benchmark::State& state) {
  const std::string folder = WithoutSlash(Folder(static_cast<int>(state.range(0))));
  for (auto _ : state) {
    if (!bench::LoadAndFirstPaint(folder)) state.SkipWithError("the folder did not load");
  }
}

// What the folder commands' enable rules cost on each refresh of the menus: the
// folder-is-empty test, which lists the whole directory.
void BM_FolderIsEmpty(benchmark::State& state) {
  const std::string folder = Folder(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(pelldesk::IsFolderEmpty(folder));
}

// The display font of a user who never chose one, the fixed-pitch modern font, or a
// proportional one.
void UseDisplayFont(bool fixedPitch) {
  pelldesk::LogFont font;
  font.pitchAndFamily = fixedPitch ? 0x31 : 0x22;
  pelldesk::CMailApp::Get().ApplyChosenFont(font);
}

// The view's full layout alone (the line texts and their widths), on a loaded folder,
// in the default fixed-pitch font and in a proportional one.
void BM_Layout(benchmark::State& state) {
  UseDisplayFont(state.range(1) != 0);
  pelldesk::CDirDoc doc(Services());
  doc.OnOpenDocument(WithoutSlash(Folder(static_cast<int>(state.range(0)))));
  auto* view = new pelldesk::CDirView(Services());
  doc.AddView(view);
  for (auto _ : state) view->OnUpdate(nullptr, 0, nullptr);
  delete view;
  UseDisplayFont(true);
}

// An open folder window of 9999 messages when one message arrives: the change
// notification read, the one file's headers read, its line laid out and painted. The
// message is taken out of the folder before each run (untimed, the window greys its
// line) and moved back in, so that the folder holds 9999 messages each time. Beside
// it the floor: opening the one file and reading its first 512 bytes.
void BM_OneArrival(benchmark::State& state) {
  const std::string folder = Folder(9999);
  const std::string inside = folder + "msg9999.mai";
  const std::string outside = g_root + "/arriving.mai";
  pelldesk::CDirDoc doc(Services());
  if (!doc.OnOpenDocument(WithoutSlash(folder)) || !doc.followsDisk()) {
    state.SkipWithError("the folder did not load, or cannot be watched");
    return;
  }
  auto* view = new pelldesk::CDirView(Services());
  doc.AddView(view);
  view->resize(900, 600);
  view->OnInitialUpdate();
  view->show();
  QApplication::processEvents();
  const int last = doc.count() - 1;
  const auto waitFor = [&](int wanted) {
    for (int spins = 0; doc.GetEntry(last).state != wanted && spins < 100000; ++spins) {
      QApplication::processEvents(QEventLoop::AllEvents);
    }
    return doc.GetEntry(last).state == wanted;
  };
  for (auto _ : state) {
    state.PauseTiming();
    fs::rename(inside, outside);
    const bool gone = waitFor(pelldesk::kEntryMoved);
    state.ResumeTiming();
    fs::rename(outside, inside);
    if (!gone || !waitFor(pelldesk::kEntryListed)) state.SkipWithError("the window did not follow the folder");
    QApplication::processEvents();  // the line's repaint
  }
  state.counters["entries"] = doc.count();
  state.counters["changed_read"] = static_cast<double>(doc.changedEntries().size());
  delete view;
}

void BM_OneArrivalFloor(benchmark::State& state) {
  const std::string path = Folder(9999) + "msg9999.mai";
  char buffer[512];
  for (auto _ : state) {
    platform::UniqueFile file(platform::CreateFile(path.c_str(), platform::kRead,
                                                   platform::kShareRead | platform::kShareWrite, platform::kOpenExisting));
    uint32_t got = 0;
    if (!file || !platform::ReadFile(file.get(), buffer, sizeof buffer, &got)) state.SkipWithError("no file");
    benchmark::DoNotOptimize(got);
  }
}

// Heap bytes in use, from the allocator's own account.
std::size_t HeapInUse() { return mallinfo2().uordblks; }

void BM_Memory(benchmark::State& state) {
  const std::string folder = WithoutSlash(Folder(static_cast<int>(state.range(0))));
  std::size_t documentBytes = 0;
  std::size_t viewBytes = 0;
  for (auto _ : state) {
    const std::size_t before = HeapInUse();
    auto doc = std::make_unique<pelldesk::CDirDoc>(Services());
    doc->OnOpenDocument(folder);
    const std::size_t loaded = HeapInUse();
    auto* view = new pelldesk::CDirView(Services());
    doc->AddView(view);
    view->OnInitialUpdate();
    const std::size_t laidOut = HeapInUse();
    documentBytes = loaded - before;
    viewBytes = laidOut - loaded;
    delete view;
  }
  state.counters["doc_bytes_per_entry"] = static_cast<double>(documentBytes) / static_cast<double>(state.range(0));
  state.counters["doc_MB"] = static_cast<double>(documentBytes) / 1e6;
  state.counters["view_MB"] = static_cast<double>(viewBytes) / 1e6;
}

void Counts(benchmark::internal::Benchmark* b) { b->Arg(1000)->Arg(9999)->ArgName("messages")->Unit(benchmark::kMillisecond); }

BENCHMARK(BM_Floor)->Apply(Counts);
BENCHMARK(BM_Load)->Apply(Counts);
BENCHMARK(BM_LoadAndFirstPaint)->Apply(Counts);
BENCHMARK(BM_Layout)
    ->ArgsProduct({{1000, 9999}, {1, 0}})
    ->ArgNames({"messages", "fixed_pitch"})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FolderIsEmpty)->Apply(Counts);
BENCHMARK(BM_OneArrivalFloor)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OneArrival)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Memory)->Arg(9999)->ArgName("messages")->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  char root[] = "/tmp/pellam-folder-bench-XXXXXX";
  if (::mkdtemp(root) == nullptr) return 1;
  g_root = root;
  const std::string runtime = g_root + "/runtime";
  fs::create_directories(runtime);
  fs::permissions(runtime, fs::perms::owner_all);
  setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);  // xcb under Xvfb for the X11 figures
  QApplication qt(argc, argv);
  pelldesk::InitClientResources();
  // The application object without its start-up: no windows, no settings, no monitor;
  // what the folder document asks of it (open documents, reports) works as in the client.
  pelldesk::CMailApp app;
  UseDisplayFont(true);
  fw::SetMessageBoxFunction([](const std::string& text, unsigned) {
    std::fprintf(stderr, "box: %s\n", text.c_str());
    return fw::IDOK;
  });
  // Warm cache: every file has been read once before anything is timed.
  for (int count : {1000, 9999}) {
    pelldesk::CDirDoc warm(Services());
    warm.OnOpenDocument(WithoutSlash(Folder(count)));
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  fs::remove_all(g_root, ec);  // only now, after every timed run
  return 0;
}
