// The packet-socket link for real: in a network namespace of its own (so nothing
// touches the host's interfaces), a veth pair carries frames between two links with
// their own DECnet station addresses. Needs root; skips with the reason otherwise.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "fakes.h"
#include "link/ethernet_packet.h"
#include "needs_root.h"

namespace decnet {
namespace {

using testing::Hex;

class Collector : public LinkObserver {
 public:
  void OnLinkUp(TimePoint) override {}
  void OnLinkDown(TimePoint) override {}
  void OnPacket(ByteSpan packet, const MacAddress& source, TimePoint) override {
    packets.emplace_back(packet.begin(), packet.end());
    sources.push_back(source);
  }
  void OnMalformedFrame() override {}
  std::vector<Bytes> packets;
  std::vector<MacAddress> sources;
};

// Runs in the child, inside the new namespace. Returns 0 or the number of the check
// that failed.
int ExchangeFramesOverVeth() {
  if (std::system("ip link add dnta type veth peer name dntb && ip link set dnta up && ip link set dntb up") != 0) {
    return 1;
  }
  EventLoop loop;
  const NodeAddress a = NodeAddress::Of(1, 5), b = NodeAddress::Of(1, 6);
  EthernetPacketLink link_a(loop, a, "dnta"), link_b(loop, b, "dntb");
  Collector at_a, at_b;
  std::string error;
  if (!link_a.Start(at_a, Clock::now(), &error) || !link_b.Start(at_b, Clock::now(), &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }
  link_a.Send(Hex("26 01"), MacAddress::ForNode(b));
  link_a.Send(Hex("26 02"), MacAddress::ForNode(NodeAddress::Of(1, 9)));  // for nobody here
  link_a.Send(Hex("0d 03"), kAllEndNodes);
  link_b.Send(Hex("26 04"), MacAddress::ForNode(a));
  TimePoint end = Clock::now() + seconds(3);
  while (Clock::now() < end && (at_b.packets.size() < 2 || at_a.packets.empty())) loop.RunOnce(milliseconds(20));
  for (int i = 0; i < 5; ++i) loop.RunOnce(milliseconds(10));  // anything that should not come
  if (at_b.packets != std::vector<Bytes>{Hex("26 01"), Hex("0d 03")}) return 3;
  if (at_b.sources[0] != MacAddress::ForNode(a)) return 4;
  if (at_a.packets != std::vector<Bytes>{Hex("26 04")}) return 5;
  return 0;
}

TEST(EthernetPacketLinkNetns, CarriesFramesOverAVethPairForItsOwnStationAddress) {
  PELLAM_NEEDS_ROOT("makes a network namespace and a veth pair");
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::alarm(10);  // never outlive the test
    if (::unshare(CLONE_NEWNET) != 0) ::_exit(77);
    ::_exit(ExchangeFramesOverVeth());
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "the child died of signal " << WTERMSIG(status);
  if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "this system does not allow a new network namespace";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "check " << WEXITSTATUS(status) << " failed in the namespace";
}

}  // namespace
}  // namespace decnet
