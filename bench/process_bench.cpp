// Whole programs, each beside its floor in one run: `true` (a process that does
// nothing), a program that only links libpellam.so, pellpost's start-up alone
// (--version), the C floor of one posting as a process (post_floor: create, write,
// flush, rename, flush the directory), and pellpost posting a 1 KB message to ten
// local addresses. Beside wall time, each reports the child's CPU time (cpu_us) and
// minor page faults (faults) per run, which other work on the machine disturbs less.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench_root.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFilesPerQueue = 2000;  // then the queue is moved aside
constexpr size_t kMessageSize = 1024;

struct RunCost {
  bool ok = false;
  double cpu_us = 0;
  long faults = 0;
};

// Runs the program with stdout on /dev/null and waits for it: whether it exited 0,
// and what it cost.
RunCost RunProgram(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const pid_t child = ::fork();
  if (child == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) ::dup2(null, 1);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  RunCost cost;
  if (child < 0) return cost;
  int status = 0;
  struct rusage usage {};
  if (::wait4(child, &status, 0, &usage) != child) return cost;
  cost.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  cost.cpu_us = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e6 +
                static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
  cost.faults = usage.ru_minflt;
  return cost;
}

// Times `make_argv(i)` run after run; a program that fails stops the benchmark.
// `after_run` runs outside the timed region.
template <class MakeArgv, class AfterRun>
void TimeProgram(benchmark::State& state, MakeArgv make_argv, AfterRun after_run) {
  double cpu_us = 0;
  double faults = 0;
  unsigned long run = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const std::vector<std::string> argv = make_argv(++run);
    if (::access(argv[0].c_str(), X_OK) != 0) {
      state.SkipWithError((argv[0] + " is not built").c_str());
      break;
    }
    state.ResumeTiming();
    const RunCost cost = RunProgram(argv);
    if (!cost.ok) {
      state.SkipWithError((argv[0] + " failed").c_str());
      break;
    }
    cpu_us += cost.cpu_us;
    faults += static_cast<double>(cost.faults);
    state.PauseTiming();
    after_run();
    state.ResumeTiming();
  }
  state.counters["cpu_us"] = benchmark::Counter(cpu_us, benchmark::Counter::kAvgIterations);
  state.counters["faults"] = benchmark::Counter(faults, benchmark::Counter::kAvgIterations);
}

void Nothing() {}

void BM_True(benchmark::State& state) {
  const std::string program = fs::exists("/usr/bin/true") ? "/usr/bin/true" : "/bin/true";
  TimeProgram(state, [&](unsigned long) { return std::vector<std::string>{program}; }, Nothing);
}

void BM_LinkOnly(benchmark::State& state) {
  const std::string program = bench::BesideThisProgram("pellam_link_only");
  TimeProgram(state, [&](unsigned long) { return std::vector<std::string>{program}; }, Nothing);
}

void BM_PellpostVersion(benchmark::State& state) {
  const std::string program = bench::BesideThisProgram("pellpost");
  TimeProgram(state, [&](unsigned long) { return std::vector<std::string>{program, "--version"}; }, Nothing);
}

// A queue directory that is moved aside whenever it holds kFilesPerQueue files.
class Queue {
 public:
  explicit Queue(const std::string& directory) : directory_(directory) {
    fs::create_directories(directory_);
    bench::Root().MoveAside(directory_);
  }
  const std::string& directory() const { return directory_; }
  void Added() {
    if (++count_ < kFilesPerQueue) return;
    bench::Root().MoveAside(directory_);
    count_ = 0;
  }

 private:
  std::string directory_;
  int count_ = 0;
};

void BM_PostFloor(benchmark::State& state) {
  const std::string program = bench::BesideThisProgram("pellam_post_floor");
  const std::string& root = bench::Root().root();
  const std::string temp = root + "/floor-temp/";
  fs::create_directories(temp);
  Queue queue(root + "/floor-queue");
  // The control file holds the text, the header section and ten address records.
  const std::string size = std::to_string(bench::Message(kMessageSize).size() + 72 + 10 * 32 + 4);
  const std::string tag = std::to_string(::getpid()) + "-";
  TimeProgram(
      state,
      [&](unsigned long run) {
        const std::string name = "f" + tag + std::to_string(run);
        return std::vector<std::string>{program, temp + name, queue.directory() + "/" + name, queue.directory(),
                                        size};
      },
      [&] { queue.Added(); });
}

void BM_PellpostPost(benchmark::State& state) {
  const std::string program = bench::BesideThisProgram("pellpost");
  const std::string file = bench::Root().root() + "/message.txt";
  std::ofstream(file, std::ios::binary) << bench::Message(kMessageSize);
  Queue queue(bench::Root().root() + "/queue");
  TimeProgram(state, [&](unsigned long) { return std::vector<std::string>{program, file}; },
              [&] { queue.Added(); });
}

#define PROCESS_BENCHMARK(name) \
  BENCHMARK(name)->Unit(benchmark::kMicrosecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true)
PROCESS_BENCHMARK(BM_True);
PROCESS_BENCHMARK(BM_LinkOnly);
PROCESS_BENCHMARK(BM_PellpostVersion);
PROCESS_BENCHMARK(BM_PostFloor);
PROCESS_BENCHMARK(BM_PellpostPost);

}  // namespace

BENCHMARK_MAIN();
