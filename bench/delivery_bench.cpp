// Deliveries per second into one folder, with one and with four deliverer processes
// at once, beside the floor of the same work without the counter (create, write,
// flush, rename), in folders that already hold 1, 1000 and 9000 messages. With the
// counter present the cost must not grow with the folder. Folders are never deleted
// between timed runs (freed inodes slow file creation here); all go at the end.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "delivery/serial_counter.h"
#include "pellam.h"

namespace {

namespace fs = std::filesystem;

constexpr int kBatch = 120;      // deliveries per timed iteration, shared by the processes
constexpr int kIterations = 8;   // keeps 9000 + all deliveries below the wrap at 9999
const std::string kBody(2048, 'x');

std::string g_root;
int g_folder_count = 0;

// A fresh folder holding `existing` messages and a counter that says so.
std::string MakeFolder(int existing) {
  const std::string base = g_root + "/f" + std::to_string(g_folder_count++) + "/";
  fs::create_directories(base + "new");
  for (int i = 1; i <= existing; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "msg%04d.mai", i);
    const int fd = ::open((base + "new/" + name).c_str(), O_CREAT | O_WRONLY, 0600);
    if (fd >= 0) ::close(fd);
  }
  const std::string counter = std::to_string(existing) + "\r\n";
  const int fd = ::open((base + "new/#serial.dat").c_str(), O_CREAT | O_WRONLY, 0600);
  if (fd >= 0) {
    if (::write(fd, counter.data(), counter.size()) < 0) std::perror("counter");
    ::close(fd);
  }
  return base;
}

// Writes the message body to a new file and flushes it, as a deliverer prepares one.
bool WriteMessage(const std::string& path) {
  const int fd = ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY, 0600);
  if (fd < 0) return false;
  const bool ok = ::write(fd, kBody.data(), kBody.size()) == static_cast<ssize_t>(kBody.size()) && ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

// One deliverer's share of a batch through the library.
bool DeliverShare(const std::string& base, const std::string& staging, int count) {
  for (int i = 0; i < count; ++i) {
    const std::string source = staging + "m" + std::to_string(i);
    if (!WriteMessage(source)) return false;
    uint32_t moved = 1;
    if (MoveOrCopy(source.c_str(), base.c_str(), "new/", &moved, nullptr, 0) != 0) return false;
  }
  return true;
}

// The floor: the same file work with a name of the deliverer's own and no counter.
bool FloorShare(const std::string& base, const std::string& staging, int count, int process, int round) {
  for (int i = 0; i < count; ++i) {
    const std::string source = staging + "m" + std::to_string(i);
    if (!WriteMessage(source)) return false;
    const std::string target =
        base + "new/floor-" + std::to_string(process) + "-" + std::to_string(round) + "-" + std::to_string(i);
    if (::rename(source.c_str(), target.c_str()) != 0) return false;
  }
  return true;
}

// Runs `share` in `processes` children that start together; returns the wall time.
template <typename Share>
double RunBatch(int processes, Share share) {
  int go[2];
  if (::pipe(go) != 0) return -1;
  std::vector<pid_t> children;
  for (int p = 0; p < processes; ++p) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::close(go[1]);
      char c;
      while (::read(go[0], &c, 1) > 0) {
      }
      ::_exit(share(p) ? 0 : 1);
    }
    children.push_back(pid);
  }
  ::close(go[0]);
  const auto start = std::chrono::steady_clock::now();
  ::close(go[1]);  // every child sees the end of the pipe at once
  bool ok = true;
  for (pid_t pid : children) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    ok = ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  return ok ? took.count() : -1;
}

template <bool kFloor, uint32_t kPollMs = 250>
void BM_Deliveries(benchmark::State& state) {
  pellam::delivery::SetCounterWait(kPollMs, 20000);
  const int existing = static_cast<int>(state.range(0));
  const int processes = static_cast<int>(state.range(1));
  const std::string base = MakeFolder(existing);
  std::vector<std::string> staging;
  for (int p = 0; p < processes; ++p) {
    staging.push_back(base + "staging" + std::to_string(p) + "/");
    fs::create_directories(staging.back());
  }
  int round = 0;
  for (auto _ : state) {
    const double seconds = RunBatch(processes, [&](int p) {
      const int share = kBatch / processes;
      return kFloor ? FloorShare(base, staging[p], share, p, round) : DeliverShare(base, staging[p], share);
    });
    if (seconds < 0) {
      state.SkipWithError("a deliverer failed");
      break;
    }
    state.SetIterationTime(seconds);
    ++round;
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kBatch);
}

void Sizes(benchmark::internal::Benchmark* b) {
  for (int existing : {1, 1000, 9000}) {
    for (int processes : {1, 4}) b->Args({existing, processes});
  }
  b->ArgNames({"existing", "processes"})->Iterations(kIterations)->UseManualTime()->Unit(benchmark::kMillisecond);
}

BENCHMARK_TEMPLATE(BM_Deliveries, true)->Name("Floor")->Apply(Sizes);
BENCHMARK_TEMPLATE(BM_Deliveries, false)->Name("MoveOrCopy")->Apply(Sizes);
// The same with a 5 ms poll: shows how much of the cost of four deliverers is the
// 250 ms wait for a counter that another holds only for microseconds.
BENCHMARK_TEMPLATE(BM_Deliveries, false, 5)
    ->Name("MoveOrCopyPoll5ms")
    ->Args({1000, 4})
    ->ArgNames({"existing", "processes"})
    ->Iterations(kIterations)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  char root[] = "/tmp/pellam-bench-XXXXXX";
  if (::mkdtemp(root) == nullptr) return 1;
  g_root = root;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  fs::remove_all(g_root, ec);  // only now, after every timed run
  return 0;
}
