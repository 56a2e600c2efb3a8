// Two DECnet nodes in this process joined by Multinet over TCP on loopback, beside the
// floor of the same messages over a plain loopback TCP socket, measured in the same
// run: the MIRROR round trip of a 256-byte message (median), one-way data in 563-byte
// segments, connect-accept-disconnect cycles, and the heap the two nodes hold with 100
// links open. Goals: under 200 µs, at least 50 MB/s, 2,000 cycles/s, under 2 MB.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "decnet/node.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr size_t kLoopBytes = 256;
constexpr size_t kSegment = 563;
constexpr size_t kBatchBytes = 4 << 20;  // per throughput iteration
constexpr uint8_t kMirror = 25, kSink = 128, kCycle = 129, kHold = 130;
constexpr int kHeldLinks = 100;

const decnet::NodeAddress kAlpha = decnet::NodeAddress::Of(1, 1);

size_t HeapInUse() {
  const struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

// KiB from `before` to `after`; the heap may also have shrunk.
double KiB(size_t before, size_t after) { return (static_cast<double>(after) - static_cast<double>(before)) / 1024.0; }

// --- the DECnet side: ALPHA listens and serves the bench objects, BRAVO calls -------

struct Nodes {
  std::unique_ptr<decnet::Node> alpha, bravo;
  std::unique_ptr<decnet::Listener> sink, cycle, hold;
  std::atomic<bool> stop{false};
  std::atomic<uint64_t> sunk{0};
  std::vector<std::thread> servers;
  std::vector<std::unique_ptr<decnet::Link>> held;  // ALPHA's ends of the held links
  std::mutex held_mutex;
  size_t heap_before = 0, heap_up = 0;

  bool Start(int port) {
    heap_before = HeapInUse();
    decnet::NodeConfig a, b;
    a.address = kAlpha;
    a.name = "ALPHA";
    a.circuit.kind = decnet::CircuitKind::kMultinetTcpListen;
    a.circuit.local_host = "127.0.0.1";
    a.circuit.local_port = static_cast<uint16_t>(port);
    b.address = decnet::NodeAddress::Of(1, 2);
    b.name = "BRAVO";
    b.circuit.kind = decnet::CircuitKind::kMultinetTcpConnect;
    b.circuit.remote_host = "127.0.0.1";
    b.circuit.remote_port = static_cast<uint16_t>(port);
    for (auto* c : {&a, &b}) {
      c->nodes.Add("ALPHA", a.address);
      c->nodes.Add("BRAVO", b.address);
    }
    std::string error;
    alpha = decnet::Node::Start(a, &error);
    if (alpha) bravo = decnet::Node::Start(b, &error);
    if (!alpha || !bravo) {
      std::fprintf(stderr, "decnet_bench: a node did not start: %s\n", error.c_str());
      return false;
    }
    const auto end = Clock::now() + std::chrono::seconds(15);
    while (bravo->Status().circuit.adjacent != kAlpha || alpha->Status().circuit.adjacent.value == 0) {
      if (Clock::now() > end) {
        std::fprintf(stderr, "decnet_bench: no adjacency within 15 s\n");
        return false;
      }
      std::this_thread::sleep_for(milliseconds(10));
    }
    heap_up = HeapInUse();
    decnet::Outcome outcome;
    sink = alpha->Bind(kSink, "SINK", &outcome);
    cycle = alpha->Bind(kCycle, "CYCLE", &outcome);
    hold = alpha->Bind(kHold, "HOLD", &outcome);
    if (!sink || !cycle || !hold) {
      std::fprintf(stderr, "decnet_bench: cannot bind the bench objects\n");
      return false;
    }
    servers.emplace_back([this] { Serve(*sink, [this](std::unique_ptr<decnet::Link> link) { Drain(std::move(link)); }); });
    servers.emplace_back([this] { Serve(*cycle, [this](std::unique_ptr<decnet::Link> link) { AwaitEnd(std::move(link)); }); });
    servers.emplace_back([this] {
      Serve(*hold, [this](std::unique_ptr<decnet::Link> link) {
        std::lock_guard lock(held_mutex);
        held.push_back(std::move(link));
      });
    });
    return true;
  }

  template <typename Take>
  void Serve(decnet::Listener& listener, Take take) {
    while (!stop.load()) {
      auto pending = listener.Accept(milliseconds(100));
      if (!pending) continue;
      if (auto link = pending->Confirm()) take(std::move(link));
    }
  }

  void Drain(std::unique_ptr<decnet::Link> link) {
    decnet::Message m;
    for (;;) {
      const decnet::Outcome o = link->Receive(m, milliseconds(100));
      if (o) {
        sunk.fetch_add(m.size());
      } else if (o.error != decnet::LinkError::kTimeout || stop.load()) {
        return;
      }
    }
  }

  void AwaitEnd(std::unique_ptr<decnet::Link> link) {
    decnet::Message m;
    while (!stop.load() && link->Receive(m, milliseconds(100)).error == decnet::LinkError::kTimeout) {
    }
  }

  std::unique_ptr<decnet::Link> Connect(uint8_t object) {
    decnet::ConnectRequest r;
    r.node = kAlpha;
    r.destination.object = object;
    r.source.format = 1;
    r.source.name = "BENCH";
    decnet::Outcome outcome;
    return bravo->Connect(r, milliseconds(5000), &outcome);
  }

  void Stop() {
    stop.store(true);
    for (auto& t : servers) t.join();
    held.clear();
    sink.reset();
    cycle.reset();
    hold.reset();
    bravo.reset();
    alpha.reset();
  }
};

Nodes* g_nodes = nullptr;

// --- the floor: a plain loopback TCP connection ------------------------------------

struct TcpPair {
  int listener = -1, client = -1, server = -1;
  bool Open() {
    listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(listener, 128) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &size) != 0) {
      return false;
    }
    address = a;
    client = Dial();
    server = ::accept(listener, nullptr, nullptr);
    return client >= 0 && server >= 0;
  }
  int Dial() const {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    const int one = 1;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (::connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
      ::close(s);
      return -1;
    }
    return s;
  }
  void Close() {
    for (int* fd : {&listener, &client, &server}) {
      if (*fd >= 0) ::close(*fd);
      *fd = -1;
    }
  }
  sockaddr_in address{};
};

bool ReadAll(int fd, uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::read(fd, data, size);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool WriteAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

void ReportMedian(benchmark::State& state, std::vector<double>& micros) {
  if (micros.empty()) return;
  std::sort(micros.begin(), micros.end());
  state.counters["median_us"] = micros[micros.size() / 2];
  state.counters["p99_us"] = micros[micros.size() * 99 / 100];
}

// --- round trip ---------------------------------------------------------------------

void BM_LoopRoundTrip_Decnet(benchmark::State& state) {
  auto link = g_nodes->Connect(kMirror);
  if (!link) return state.SkipWithError("no link to MIRROR");
  decnet::Message message(kLoopBytes + 1, 0x5a), answer;
  message[0] = 0x00;
  std::vector<double> micros;
  for (auto _ : state) {
    const auto start = Clock::now();
    if (!link->Send(message, milliseconds(5000)) || !link->Receive(answer, milliseconds(5000)) ||
        answer.size() != message.size()) {
      state.SkipWithError("the loop failed");
      break;
    }
    const double us = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
    micros.push_back(us);
    state.SetIterationTime(us / 1e6);
  }
  link->Disconnect();
  ReportMedian(state, micros);
}

void BM_LoopRoundTrip_TcpFloor(benchmark::State& state) {
  TcpPair tcp;
  if (!tcp.Open()) return state.SkipWithError("no loopback TCP");
  std::thread echo([&] {
    uint8_t buffer[kLoopBytes + 1];
    while (ReadAll(tcp.server, buffer, sizeof buffer) && WriteAll(tcp.server, buffer, sizeof buffer)) {
    }
  });
  std::vector<uint8_t> message(kLoopBytes + 1, 0x5a), answer(kLoopBytes + 1);
  std::vector<double> micros;
  for (auto _ : state) {
    const auto start = Clock::now();
    if (!WriteAll(tcp.client, message.data(), message.size()) || !ReadAll(tcp.client, answer.data(), answer.size())) {
      state.SkipWithError("the echo failed");
      break;
    }
    const double us = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
    micros.push_back(us);
    state.SetIterationTime(us / 1e6);
  }
  ::shutdown(tcp.client, SHUT_RDWR);
  echo.join();
  tcp.Close();
  ReportMedian(state, micros);
}

// --- one-way data ---------------------------------------------------------------------

void BM_OneWay563_Decnet(benchmark::State& state) {
  auto link = g_nodes->Connect(kSink);
  if (!link) return state.SkipWithError("no link to the sink");
  const decnet::Message segment(kSegment, 0xa5);
  const size_t count = kBatchBytes / kSegment;
  for (auto _ : state) {
    const uint64_t target = g_nodes->sunk.load() + count * kSegment;
    const auto start = Clock::now();
    for (size_t i = 0; i < count; ++i) {
      if (!link->Send(segment, milliseconds(5000))) return state.SkipWithError("a send failed");
    }
    const auto end = Clock::now() + std::chrono::seconds(30);
    while (g_nodes->sunk.load() < target && Clock::now() < end) std::this_thread::yield();
    if (g_nodes->sunk.load() < target) return state.SkipWithError("the data did not all arrive");
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * count * kSegment));
  link->Disconnect();
}

void BM_OneWay563_TcpFloor(benchmark::State& state) {
  TcpPair tcp;
  if (!tcp.Open()) return state.SkipWithError("no loopback TCP");
  std::atomic<uint64_t> received{0};
  std::thread reader([&] {
    uint8_t buffer[65536];
    for (;;) {
      const ssize_t n = ::read(tcp.server, buffer, sizeof buffer);
      if (n <= 0) return;
      received.fetch_add(static_cast<uint64_t>(n));
    }
  });
  const std::vector<uint8_t> segment(kSegment, 0xa5);
  const size_t count = kBatchBytes / kSegment;
  for (auto _ : state) {
    const uint64_t target = received.load() + count * kSegment;
    const auto start = Clock::now();
    for (size_t i = 0; i < count; ++i) WriteAll(tcp.client, segment.data(), segment.size());
    while (received.load() < target) std::this_thread::yield();
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * count * kSegment));
  ::shutdown(tcp.client, SHUT_RDWR);
  reader.join();
  tcp.Close();
}

// --- connect, accept, disconnect ----------------------------------------------------

void BM_ConnectCycle_Decnet(benchmark::State& state) {
  for (auto _ : state) {
    auto link = g_nodes->Connect(kCycle);
    if (!link) return state.SkipWithError("a connect failed");
    link->Disconnect();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

void BM_ConnectCycle_TcpFloor(benchmark::State& state) {
  TcpPair tcp;
  if (!tcp.Open()) return state.SkipWithError("no loopback TCP");
  for (auto _ : state) {
    const int c = tcp.Dial();
    const int s = ::accept(tcp.listener, nullptr, nullptr);
    if (c < 0 || s < 0) return state.SkipWithError("a connect failed");
    ::close(c);
    ::close(s);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
  tcp.Close();
}

// --- memory with 100 links ------------------------------------------------------------

void BM_Memory100Links_Decnet(benchmark::State& state) {
  for (auto _ : state) {
    const size_t before = HeapInUse();
    std::vector<std::unique_ptr<decnet::Link>> links;
    for (int i = 0; i < kHeldLinks; ++i) {
      auto link = g_nodes->Connect(kHold);
      if (!link) return state.SkipWithError("a connect failed");
      links.push_back(std::move(link));
    }
    const auto end = Clock::now() + std::chrono::seconds(5);
    while (Clock::now() < end) {
      std::lock_guard lock(g_nodes->held_mutex);
      if (g_nodes->held.size() >= static_cast<size_t>(kHeldLinks)) break;
    }
    const size_t with_links = HeapInUse();
    state.counters["links_heap_KiB"] = KiB(before, with_links);
    state.counters["stack_heap_KiB"] = KiB(g_nodes->heap_before, with_links);
    state.counters["idle_stack_heap_KiB"] = KiB(g_nodes->heap_before, g_nodes->heap_up);
    for (auto& link : links) link->Disconnect();
    std::lock_guard lock(g_nodes->held_mutex);
    g_nodes->held.clear();
  }
}

void BM_Memory100Links_TcpFloor(benchmark::State& state) {
  TcpPair tcp;
  if (!tcp.Open()) return state.SkipWithError("no loopback TCP");
  for (auto _ : state) {
    const size_t before = HeapInUse();
    std::vector<int> fds;
    for (int i = 0; i < kHeldLinks; ++i) {
      fds.push_back(tcp.Dial());
      fds.push_back(::accept(tcp.listener, nullptr, nullptr));
    }
    state.counters["links_heap_KiB"] = KiB(before, HeapInUse());
    for (int fd : fds) ::close(fd);
  }
  tcp.Close();
}

BENCHMARK(BM_LoopRoundTrip_TcpFloor)->Name("LoopRoundTrip256/TcpFloor")->Iterations(3000)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoopRoundTrip_Decnet)->Name("LoopRoundTrip256/Decnet")->Iterations(3000)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OneWay563_TcpFloor)->Name("OneWay563/TcpFloor")->Iterations(8)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OneWay563_Decnet)->Name("OneWay563/Decnet")->Iterations(8)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConnectCycle_TcpFloor)->Name("ConnectCycle/TcpFloor")->Iterations(2000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ConnectCycle_Decnet)->Name("ConnectCycle/Decnet")->Iterations(2000)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Memory100Links_TcpFloor)->Name("Memory100Links/TcpFloor")->Iterations(1);
BENCHMARK(BM_Memory100Links_Decnet)->Name("Memory100Links/Decnet")->Iterations(1)->UseRealTime();

// A loopback port free just now.
int FreePort() {
  TcpPair probe;
  if (!probe.Open()) return 0;
  const int port = ntohs(probe.address.sin_port);
  probe.Close();
  return port;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Nodes nodes;
  g_nodes = &nodes;
  const bool up = nodes.Start(FreePort());
  if (up) benchmark::RunSpecifiedBenchmarks();
  nodes.Stop();
  benchmark::Shutdown();
  return up ? 0 : 1;
}
