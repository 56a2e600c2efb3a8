// Messages per second along the whole road from node ALPHA to node BRAVO (posted on
// ALPHA, sent by ALPHA's service over Multinet TCP on loopback, received and delivered
// by BRAVO's) beside the floor measured in the same run: local delivery through BRAVO's
// service of the same messages, posted there. 1 KB and 100 KB texts, 1 and 3
// recipients. Goal: for 1 KB messages the road runs at least half the floor's rate.
// Whole services in sandboxes, so it needs root (deliveries run as the recipients).
// Folders only grow: nothing is deleted between timed runs, all goes at the end.
#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "machines.h"

namespace {

using namespace pellam::e2e;
using std::chrono::seconds;

const char* const kRecipients[] = {"bob", "carl", "dave"};

struct Road {
  std::unique_ptr<Machine> alpha, bravo;
  bool Start() {
    const uint16_t port = FreePort(SOCK_STREAM);
    alpha = std::make_unique<Machine>(MachinePlan{TestNodes()[0], "multinet-tcp-listen", port, port, {}});
    bravo = std::make_unique<Machine>(MachinePlan{TestNodes()[1], "multinet-tcp-connect", port, port, {}});
    if (!alpha->error().empty() || !bravo->error().empty()) {
      std::fprintf(stderr, "road_bench: %s%s\n", alpha->error().c_str(), bravo->error().c_str());
      return false;
    }
    bool ok = alpha->AddUser("ann", 1001, "Ann Example") && bravo->AddUser("eve", 1005, "Eve Example");
    uid_t uid = 1002;
    for (const char* r : kRecipients) ok = ok && bravo->AddUser(r, uid++, r);
    if (!ok) {
      std::fprintf(stderr, "road_bench: the users cannot be registered\n");
      return false;
    }
    alpha->StartService();
    bravo->StartService();
    if (!alpha->AdjacentTo("1.2 (BRAVO)", seconds(20)) || !bravo->AdjacentTo("1.1 (ALPHA)", seconds(20))) {
      std::fprintf(stderr, "road_bench: ALPHA and BRAVO did not come up adjacent\n%s%s", alpha->Log().c_str(),
                   bravo->Log().c_str());
      return false;
    }
    return true;
  }
};

Road* g_road = nullptr;
// Messages per second, by case: "kb:1/recipients:3", on the road or locally.
std::map<std::string, double> g_road_rates, g_local_rates;

std::string CaseName(int kb, int recipients) {
  return "kb:" + std::to_string(kb) + "/recipients:" + std::to_string(recipients);
}

// A message of about `kb` KB in lines of 64 characters, to `recipients` of bob, carl
// and dave, each written with `prefix` ("BRAVO::" on the road, "" locally).
std::string Message(int kb, int recipients, const std::string& prefix, int n) {
  std::string to;
  for (int i = 0; i < recipients; ++i) to += (i ? ", " : "") + prefix + kRecipients[i];
  std::string m = "To: " + to + "\r\nSubject: Bench " + std::to_string(n) + "\r\n\r\n";
  const std::string line = std::string(62, 'x') + "\r\n";
  for (size_t size = 0; size < static_cast<size_t>(kb) * 1024; size += line.size()) m += line;
  return m;
}

template <bool kRoad>
void BM_Messages(benchmark::State& state) {
  if (g_road == nullptr) {
    state.SkipWithError("the machines did not start");
    return;
  }
  const int kb = static_cast<int>(state.range(0));
  const int recipients = static_cast<int>(state.range(1));
  const int batch = kb >= 100 ? 8 : 40;
  Machine& poster = kRoad ? *g_road->alpha : *g_road->bravo;
  double total = 0;
  int round = 0;
  for (auto _ : state) {
    std::vector<std::string> messages;
    for (int i = 0; i < batch; ++i) messages.push_back(Message(kb, recipients, kRoad ? "BRAVO::" : "", round * batch + i));
    std::vector<size_t> wanted;
    for (int i = 0; i < recipients; ++i) wanted.push_back(g_road->bravo->MessageCount(kRecipients[i]) + batch);
    const auto start = Clock::now();
    if (!poster.PostMany(kRoad ? "ann" : "eve", messages)) {
      state.SkipWithError("posting failed");
      break;
    }
    const bool arrived = WaitUntil(
        [&] {
          for (int i = 0; i < recipients; ++i) {
            if (g_road->bravo->MessageCount(kRecipients[i]) < wanted[i]) return false;
          }
          return true;
        },
        seconds(180));
    const std::chrono::duration<double> took = Clock::now() - start;
    if (!arrived) {
      state.SkipWithError("the messages did not all arrive within 180 s");
      break;
    }
    state.SetIterationTime(took.count());
    total += took.count();
    ++round;
  }
  state.SetItemsProcessed(static_cast<int64_t>(round) * batch);
  if (total > 0) (kRoad ? g_road_rates : g_local_rates)[CaseName(kb, recipients)] = round * batch / total;
}

void Cases(benchmark::internal::Benchmark* b) {
  for (int kb : {1, 100}) {
    for (int recipients : {1, 3}) b->Args({kb, recipients});
  }
  b->ArgNames({"kb", "recipients"})->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
}

BENCHMARK_TEMPLATE(BM_Messages, false)->Name("LocalThroughService")->Apply(Cases);
BENCHMARK_TEMPLATE(BM_Messages, true)->Name("AlphaToBravo")->Apply(Cases);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Road road;
  if (::geteuid() != 0) {
    std::fprintf(stderr, "road_bench: needs root: the services deliver as the recipients\n");
  } else if (road.Start()) {
    g_road = &road;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  // The goal, side by side: the road's rate as a share of the floor's.
  for (const auto& [name, local] : g_local_rates) {
    const auto road_rate = g_road_rates.find(name);
    if (road_rate == g_road_rates.end()) continue;
    std::printf("%-22s local %7.1f msg/s  road %7.1f msg/s  road/local %.2f\n", name.c_str(), local,
                road_rate->second, road_rate->second / local);
  }
  return 0;
}
