// The service draining a full queue: 2000 control files of 1 KB messages, queued while
// the service is stopped, to one and to three local users; timed from the service's
// start until every message stands in "new". Beside it, in the same run, the floor of
// the same durable file work without mail logic: one process creating, writing,
// flushing and renaming 2000 files of 1 KB. Whole services in a sandbox, so it needs
// root (deliveries run as the recipients). Goal: one user under 1 s, three under 3 s.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "machines.h"

namespace {

using namespace pellam::e2e;
using std::chrono::seconds;

constexpr int kMessages = 2000;
const char* const kRecipients[] = {"bob", "carl", "dave"};

std::unique_ptr<Machine> g_machine;

std::string Text() {
  std::string text;
  const std::string line = std::string(62, 'x') + "\r\n";
  while (text.size() < 1024) text += line;
  return text;
}

std::string Message(int recipients, int n) {
  std::string to;
  for (int i = 0; i < recipients; ++i) to += (i ? ", " : "") + std::string(kRecipients[i]);
  return "To: " + to + "\r\nSubject: Drain " + std::to_string(n) + "\r\n\r\n" + Text();
}

// Deletes the files of a folder, keeping the folder (and its owner) as it is.
void EmptyFolder(const std::string& folder) {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) std::filesystem::remove(entry.path(), ec);
}

// The floor: what delivering 2000 files durably costs at least, in one process.
void BM_Floor(benchmark::State& state) {
  const std::string text = Text();
  for (auto _ : state) {
    state.PauseTiming();
    char tmpl[] = "/tmp/pellam-floor-XXXXXX";
    const std::string dir = ::mkdtemp(tmpl) != nullptr ? tmpl : "";
    state.ResumeTiming();
    if (dir.empty()) {
      state.SkipWithError("mkdtemp failed");
      break;
    }
    for (int i = 0; i < kMessages; ++i) {
      const std::string part = dir + "/part";
      const std::string name = dir + "/msg" + std::to_string(i) + ".mai";
      const int fd = ::open(part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
      if (fd < 0 || ::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size()) || ::fsync(fd) != 0 ||
          ::close(fd) != 0 || ::rename(part.c_str(), name.c_str()) != 0) {
        state.SkipWithError("the floor's file work failed");
        break;
      }
    }
    state.PauseTiming();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kMessages);
}
BENCHMARK(BM_Floor)->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ServiceDrain(benchmark::State& state) {
  if (!g_machine) {
    state.SkipWithError("the machine did not start");
    return;
  }
  const int recipients = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<std::string> messages;
    for (int i = 0; i < kMessages; ++i) messages.push_back(Message(recipients, i));
    // Each run starts from empty folders: a folder holds at most 9999 numbered messages.
    for (int i = 0; i < recipients; ++i) EmptyFolder(g_machine->Path("home/" + std::string(kRecipients[i]) + "/mail/new"));
    std::vector<size_t> wanted;
    for (int i = 0; i < recipients; ++i) wanted.push_back(g_machine->MessageCount(kRecipients[i]) + kMessages);
    if (!g_machine->PostMany("ann", messages)) {
      state.SkipWithError("posting failed");
      break;
    }
    state.ResumeTiming();
    g_machine->StartService();
    const bool arrived = WaitUntil(
        [&] {
          for (int i = 0; i < recipients; ++i) {
            if (g_machine->MessageCount(kRecipients[i]) < wanted[i]) return false;
          }
          return true;
        },
        seconds(300));
    state.PauseTiming();
    g_machine->StopService();
    state.ResumeTiming();
    if (!arrived) {
      state.SkipWithError("the messages did not all arrive within 300 s");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * kMessages * recipients);
}
BENCHMARK(BM_ServiceDrain)->ArgName("recipients")->Arg(1)->Arg(3)->Iterations(1)->Repetitions(3)
    ->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (::geteuid() != 0) {
    std::fprintf(stderr, "queue_drain_bench: needs root: the service delivers as the recipients\n");
  } else {
    // A broadcast circuit: the service starts at once, with no adjacency to wait for.
    const uint16_t port = FreePort(SOCK_DGRAM);
    auto machine = std::make_unique<Machine>(MachinePlan{TestNodes()[0], "ethernet-udp", port, port, {}});
    bool ok = machine->error().empty() && machine->AddUser("ann", 1001, "Ann Example");
    uid_t uid = 1002;
    for (const char* r : kRecipients) ok = ok && machine->AddUser(r, uid++, r);
    if (ok) {
      g_machine = std::move(machine);
    } else {
      std::fprintf(stderr, "queue_drain_bench: the machine cannot be set up: %s\n", machine->error().c_str());
    }
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  g_machine.reset();
  return 0;
}
