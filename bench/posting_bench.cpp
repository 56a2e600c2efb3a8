// Messages posted per second: SendMailMessageFromText with 1 KB and 100 KB texts to
// ten addresses, the floor of the same file work without mail logic (create, write,
// flush, rename, flush the directory), and pellpost as a whole process. Nothing is
// deleted while timing: a full queue is moved aside, and everything goes at the end
// (this filesystem creates files slowly right after many deletions).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench_root.h"
#include "pellam.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFilesPerQueue = 2000;  // then the queue is moved aside

using bench::BenchRoot;
using bench::Message;
using bench::Root;

// Keeps a directory below kFilesPerQueue files, outside the timed region.
void KeepRoom(benchmark::State& state, const std::string& directory, int* count) {
  if (++*count < kFilesPerQueue) return;
  state.PauseTiming();
  Root().MoveAside(directory);
  *count = 0;
  state.ResumeTiming();
}

void BM_SendMailMessageFromText(benchmark::State& state) {
  BenchRoot& root = Root();
  const std::string message = Message(static_cast<size_t>(state.range(0)));
  const std::string queue = root.root() + "/queue";
  root.MoveAside(queue);
  int count = 0;
  for (auto _ : state) {
    const char* error = nullptr;
    if (SendMailMessageFromText(message.data(), static_cast<int32_t>(message.size()), &error) != 0) {
      state.SkipWithError("SendMailMessageFromText failed");
      break;
    }
    KeepRoom(state, queue, &count);
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(message.size()));
}
BENCHMARK(BM_SendMailMessageFromText)->Arg(1024)->Arg(100 * 1024)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The same durable file work with no mail logic: an exclusively created file of the
// control file's size, written, flushed, renamed into a directory that is flushed.
void BM_FileFloor(benchmark::State& state) {
  BenchRoot& root = Root();
  // The control file holds the text, the header section and ten address records.
  const std::string bytes(Message(static_cast<size_t>(state.range(0))).size() + 72 + 10 * 32 + 4, 'x');
  const std::string temp = root.root() + "/floor-temp/";
  const std::string queue = root.root() + "/floor-queue";
  fs::create_directories(temp);
  fs::create_directories(queue);
  int count = 0;
  unsigned long serial = 0;
  for (auto _ : state) {
    const std::string name = "f" + std::to_string(++serial);
    const std::string from = temp + name;
    const int fd = ::open(from.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    bool ok = fd >= 0 && ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()) &&
              ::fsync(fd) == 0;
    if (fd >= 0) ::close(fd);
    ok = ok && ::rename(from.c_str(), (queue + "/" + name).c_str()) == 0;
    const int dir = ::open(queue.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ok = ok && dir >= 0 && ::fsync(dir) == 0;
    if (dir >= 0) ::close(dir);
    if (!ok) {
      state.SkipWithError("file floor failed");
      break;
    }
    KeepRoom(state, queue, &count);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FileFloor)->Arg(1024)->Arg(100 * 1024)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_PellpostProcess(benchmark::State& state) {
  BenchRoot& root = Root();
  const std::string program = bench::BesideThisProgram("pellpost");
  if (::access(program.c_str(), X_OK) != 0) {
    state.SkipWithError("pellpost is not built beside the benchmark");
    return;
  }
  const std::string file = root.root() + "/message.txt";
  std::ofstream(file, std::ios::binary) << Message(static_cast<size_t>(state.range(0)));
  const std::string queue = root.root() + "/queue";
  root.MoveAside(queue);
  int count = 0;
  for (auto _ : state) {
    const pid_t child = ::fork();
    if (child == 0) {
      ::execl(program.c_str(), "pellpost", file.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("pellpost failed");
      break;
    }
    KeepRoom(state, queue, &count);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PellpostProcess)->Arg(1024)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Where the library's time goes beyond the file work: each message reads the system
// profile, the user's profile and, for each of its ten local names, the alias store.
void BM_GetSystemProfile(benchmark::State& state) {
  Root();
  MailSystemProfile profile;
  for (auto _ : state) benchmark::DoNotOptimize(GetSystemProfile(&profile));
}
BENCHMARK(BM_GetSystemProfile)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_GetUserProfile(benchmark::State& state) {
  Root();
  MailProfile profile;
  for (auto _ : state) benchmark::DoNotOptimize(GetUserProfile(&profile, 1));
}
BENCHMARK(BM_GetUserProfile)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_AliasLookupMiss(benchmark::State& state) {
  Root();
  for (auto _ : state) {
    char* translation = nullptr;
    benchmark::DoNotOptimize(GetAlias("SMITH", &translation, ALIAS_SCOPE_ANY));
  }
}
BENCHMARK(BM_AliasLookupMiss)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
