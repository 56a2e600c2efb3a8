// The data links: Ethernet and Multinet framing byte for byte, then the Multinet TCP
// and Ethernet-in-UDP links for real on loopback, driven by an event loop in the test
// thread.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <functional>

#include "fakes.h"
#include "link/ethernet_frame.h"
#include "link/ethernet_packet.h"
#include "link/ethernet_udp.h"
#include "link/multinet_framing.h"
#include "link/multinet_tcp.h"

namespace decnet {
namespace {

using testing::Hex;

TEST(EthernetFraming, PadsToTheMinimumWithALittleEndianLength) {
  Bytes hello = Hex("0b 02 00 00 aa 00 04 00 04 04 02 4f 02 40 00 0a 00 00 08 00 00 00 00 00 00 00 00");
  Bytes frame;
  EncodeEthernetFrame(kAllEndNodes, MacAddress::ForNode(NodeAddress::Of(1, 4)), hello, frame);
  ASSERT_EQ(frame.size(), 60u);
  EXPECT_EQ(Bytes(frame.begin(), frame.begin() + 16), Hex("ab 00 00 04 00 00 aa 00 04 00 04 04 60 03 1b 00"));
  EXPECT_EQ(Bytes(frame.begin() + 16, frame.begin() + 43), hello);
  EXPECT_TRUE(std::all_of(frame.begin() + 43, frame.end(), [](uint8_t b) { return b == 0; }));

  EthernetFrameView view;
  ASSERT_EQ(DecodeEthernetFrame(frame, &view), FrameCheck::kOk);
  EXPECT_EQ(view.destination, kAllEndNodes);
  EXPECT_EQ(view.source.DecnetNode(), NodeAddress::Of(1, 4));
  EXPECT_EQ(Bytes(view.packet.begin(), view.packet.end()), hello);

  Bytes big(100, 0x55);
  EncodeEthernetFrame(kAllRouters, kAllEndNodes, big, frame);
  EXPECT_EQ(frame.size(), 116u) << "no padding once past the minimum";
  EXPECT_EQ(frame[14], 100);
  EXPECT_EQ(frame[15], 0);
}

TEST(EthernetFraming, RefusesLengthsPastTheFrameAndIgnoresOtherProtocols) {
  Bytes header = Hex("aa 00 04 00 05 04 aa 00 04 00 04 04 60 03");
  struct Case {
    const char* name;
    Bytes frame;
    FrameCheck expected;
  } cases[] = {
      {"length past the frame", [&] { Bytes f = header; f.push_back(0x10); f.push_back(0); f.push_back(1); return f; }(),
       FrameCheck::kMalformed},
      {"zero length", [&] { Bytes f = header; f.push_back(0); f.push_back(0); f.resize(60); return f; }(),
       FrameCheck::kMalformed},
      {"no length", header, FrameCheck::kMalformed},
      {"shorter than a header", Hex("aa 00 04"), FrameCheck::kMalformed},
      {"LAT", Hex("aa 00 04 00 05 04 aa 00 04 00 04 04 60 04 01 00 05"), FrameCheck::kNotDecnet},
  };
  for (const auto& c : cases) {
    EthernetFrameView view;
    EXPECT_EQ(DecodeEthernetFrame(c.frame, &view), c.expected) << c.name;
  }
}

TEST(MultinetFraming, WholePacketsComeOutHoweverTheStreamIsCut) {
  Bytes stream = Hex("06 00 00 00 02 02 04 01 04 24  03 00 00 00 05 02 04");
  std::vector<Bytes> expected = {Hex("02 02 04 01 04 24"), Hex("05 02 04")};
  for (size_t cut = 1; cut <= stream.size(); ++cut) {
    MultinetReassembler reassembler;
    std::vector<Bytes> got;
    for (size_t pos = 0; pos < stream.size(); pos += cut) {
      size_t n = std::min(cut, stream.size() - pos);
      std::copy_n(stream.begin() + static_cast<std::ptrdiff_t>(pos), n, reassembler.WritableTail().begin());
      reassembler.Commit(n);
      ASSERT_TRUE(reassembler.Drain([&](ByteSpan p) {
        got.emplace_back(p.begin(), p.end());
        return true;
      }));
    }
    EXPECT_EQ(got, expected) << "cut every " << cut << " bytes";
  }
  uint8_t header[kMultinetHeader];
  EncodeMultinetHeader(0x123, header);
  EXPECT_EQ(Bytes(header, header + 4), Hex("23 01 00 00"));
}

TEST(MultinetFraming, AStreamThatLosesItsFramingIsRefused) {
  for (const char* bad : {"03 00 01 00 aa bb cc", "00 00 00 00"}) {
    MultinetReassembler reassembler;
    Bytes b = Hex(bad);
    std::copy(b.begin(), b.end(), reassembler.WritableTail().begin());
    reassembler.Commit(b.size());
    EXPECT_FALSE(reassembler.Drain([](ByteSpan) { return true; })) << bad;
  }
}

// Records what a link reports.
class Recorder : public LinkObserver {
 public:
  void OnLinkUp(TimePoint) override { ++ups; }
  void OnLinkDown(TimePoint) override { ++downs; }
  void OnPacket(ByteSpan packet, const MacAddress& source, TimePoint) override {
    packets.emplace_back(packet.begin(), packet.end());
    sources.push_back(source);
    if (on_packet) on_packet();
  }
  void OnMalformedFrame() override { ++malformed; }
  int ups = 0, downs = 0, malformed = 0;
  std::function<void()> on_packet;
  std::vector<Bytes> packets;
  std::vector<MacAddress> sources;
};

// Runs the loop, ticking the links, until `done` or the time is up.
bool RunUntil(EventLoop& loop, std::vector<DataLink*> links, const std::function<bool()>& done,
              Duration limit = seconds(5)) {
  TimePoint end = Clock::now() + limit;
  loop.SetTimers(
      [&]() {
        std::optional<TimePoint> next;
        for (auto* l : links) next = Earlier(next, l->NextDeadline());
        return next;
      },
      [&](TimePoint now) {
        for (auto* l : links) l->Tick(now);
      });
  while (!done() && Clock::now() < end) loop.RunOnce(milliseconds(20));
  loop.SetTimers(nullptr, nullptr);
  return done();
}

TEST(MultinetTcpLinkTest, ConnectsCarriesPacketsBothWaysAndReconnectsAfterADrop) {
  EventLoop loop;
  MultinetTcpLink listener(loop, {true, "127.0.0.1", 0});
  Recorder at_listener, at_connector;
  std::string error;
  ASSERT_TRUE(listener.Start(at_listener, Clock::now(), &error)) << error;
  ASSERT_NE(listener.bound_port(), 0);
  MultinetTcpLink connector(loop, {false, "127.0.0.1", listener.bound_port()});
  ASSERT_TRUE(connector.Start(at_connector, Clock::now(), &error)) << error;
  std::vector<DataLink*> both = {&listener, &connector};
  ASSERT_TRUE(RunUntil(loop, both, [&] { return at_listener.ups == 1 && at_connector.ups == 1; }));

  Bytes big(1400, 0x5a);
  ASSERT_TRUE(connector.Send(Hex("05 02 04 01 aa"), {}));
  ASSERT_TRUE(connector.Send(big, {}));
  ASSERT_TRUE(listener.Send(Hex("01 01 04 02 40 02 02 00 00 3c 00 00"), {}));
  ASSERT_TRUE(RunUntil(loop, both, [&] { return at_listener.packets.size() == 2 && at_connector.packets.size() == 1; }));
  EXPECT_EQ(at_listener.packets[0], Hex("05 02 04 01 aa"));
  EXPECT_EQ(at_listener.packets[1], big);
  EXPECT_EQ(at_connector.packets[0], Hex("01 01 04 02 40 02 02 00 00 3c 00 00"));

  // The routing layer gives up on the listener's side: both ends see the drop, and the
  // connecting end is back a second later.
  listener.Restart(Clock::now());
  ASSERT_TRUE(RunUntil(loop, both, [&] { return at_connector.downs == 1; }));
  EXPECT_FALSE(connector.Send(Hex("05 02 04 01 aa"), {}));
  ASSERT_TRUE(RunUntil(loop, both, [&] { return at_listener.ups == 2 && at_connector.ups == 2; }));
  EXPECT_TRUE(connector.Send(Hex("05 02 04 01 aa"), {}));
  connector.Stop();
  listener.Stop();
}

TEST(MultinetTcpLinkTest, AFullSocketQueuesUpToTheBoundAndDeliversInOrder) {
  EventLoop loop;
  MultinetTcpLink listener(loop, {true, "127.0.0.1", 0});
  Recorder at_listener, at_connector;
  ASSERT_TRUE(listener.Start(at_listener, Clock::now(), nullptr));
  MultinetTcpLink connector(loop, {false, "127.0.0.1", listener.bound_port()});
  ASSERT_TRUE(connector.Start(at_connector, Clock::now(), nullptr));
  std::vector<DataLink*> both = {&listener, &connector};
  ASSERT_TRUE(RunUntil(loop, both, [&] { return at_listener.ups == 1 && at_connector.ups == 1; }));

  // Without the loop running nobody reads: the socket fills, then the queue, then
  // Send refuses rather than grow.
  Bytes packet(1000);
  size_t accepted = 0;
  for (uint32_t i = 0; i < 20000; ++i) {
    std::memcpy(packet.data(), &i, sizeof i);
    if (!connector.Send(packet, {})) break;
    ++accepted;
  }
  ASSERT_LT(accepted, 20000u) << "the queue never filled";
  ASSERT_TRUE(RunUntil(loop, both, [&] { return at_listener.packets.size() == accepted; }, seconds(10)));
  for (uint32_t i = 0; i < accepted; ++i) {
    uint32_t number;
    std::memcpy(&number, at_listener.packets[i].data(), sizeof number);
    ASSERT_EQ(number, i);
  }
  EXPECT_TRUE(connector.Send(packet, {})) << "room again once the queue drained";
  connector.Stop();
  listener.Stop();
}

TEST(MultinetTcpLinkTest, AStreamWithoutFramingIsCountedAndItsConnectionDropped) {
  EventLoop loop;
  MultinetTcpLink listener(loop, {true, "127.0.0.1", 0});
  Recorder recorder;
  ASSERT_TRUE(listener.Start(recorder, Clock::now(), nullptr));
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(listener.bound_port());
  ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  Bytes garbage = Hex("05 00 00 00 05 02 04 01 aa  ff ff 13 37 de ad be ef");
  ASSERT_EQ(::write(fd, garbage.data(), garbage.size()), static_cast<ssize_t>(garbage.size()));
  ASSERT_TRUE(RunUntil(loop, {&listener}, [&] { return recorder.downs == 1; }));
  EXPECT_EQ(recorder.packets.size(), 1u) << "the good packet before the garbage still counts";
  EXPECT_EQ(recorder.malformed, 1);
  char byte;
  EXPECT_EQ(::read(fd, &byte, 1), 0) << "the connection was closed";
  ::close(fd);
  listener.Stop();
}

TEST(MultinetTcpLinkTest, AnObserverThatRestartsTheLinkMidStreamEndsThatStreamCleanly) {
  EventLoop loop;
  MultinetTcpLink listener(loop, {true, "127.0.0.1", 0});
  Recorder recorder;
  recorder.on_packet = [&] { listener.Restart(Clock::now()); };  // as a failed start-up does
  ASSERT_TRUE(listener.Start(recorder, Clock::now(), nullptr));
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(listener.bound_port());
  ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  // Three packets in one write: they arrive in one read.
  Bytes stream = Hex("02 00 00 00 05 01  02 00 00 00 05 02  02 00 00 00 05 03");
  ASSERT_EQ(::write(fd, stream.data(), stream.size()), static_cast<ssize_t>(stream.size()));
  ASSERT_TRUE(RunUntil(loop, {&listener}, [&] { return recorder.downs == 1; }));
  RunUntil(loop, {&listener}, [] { return false; }, milliseconds(50));
  EXPECT_EQ(recorder.packets.size(), 1u) << "nothing of the dropped stream after the restart";
  EXPECT_EQ(recorder.malformed, 0);
  ::close(fd);
  listener.Stop();
}

TEST(MultinetTcpLinkTest, ConnectingToNobodyBacksOffInsteadOfSpinning) {
  EventLoop loop;
  // A port that was free a moment ago: nothing listens there.
  int probe = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(probe);
  MultinetTcpLink connector(loop, {false, "127.0.0.1", ntohs(address.sin_port)});
  Recorder recorder;
  TimePoint start = Clock::now();
  ASSERT_TRUE(connector.Start(recorder, start, nullptr));
  RunUntil(loop, {&connector}, [] { return false; }, milliseconds(300));
  auto next = connector.NextDeadline();
  ASSERT_TRUE(next);
  EXPECT_GE(*next - start, milliseconds(900)) << "the first retry waits about a second";
  EXPECT_EQ(recorder.ups, 0);
  EXPECT_NE(connector.Describe().find("waiting to connect"), std::string::npos) << connector.Describe();
}

uint16_t FreeUdpPort() {
  int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

TEST(EthernetUdpLinkTest, CarriesFramesForUsAndIgnoresTheRest) {
  EventLoop loop;
  uint16_t port_a = FreeUdpPort(), port_b = FreeUdpPort();
  const NodeAddress a = NodeAddress::Of(1, 5), b = NodeAddress::Of(1, 6);
  EthernetUdpLink link_a(loop, a, {"127.0.0.1", port_a, "127.0.0.1", port_b});
  EthernetUdpLink link_b(loop, b, {"127.0.0.1", port_b, "127.0.0.1", port_a});
  Recorder at_a, at_b;
  std::string error;
  ASSERT_TRUE(link_a.Start(at_a, Clock::now(), &error)) << error;
  ASSERT_TRUE(link_b.Start(at_b, Clock::now(), &error)) << error;
  EXPECT_EQ(at_a.ups, 1);

  ASSERT_TRUE(link_a.Send(Hex("26 01"), MacAddress::ForNode(b)));
  ASSERT_TRUE(link_a.Send(Hex("26 02"), MacAddress::ForNode(NodeAddress::Of(1, 7))));  // not b's
  ASSERT_TRUE(link_a.Send(Hex("0d 03"), kAllEndNodes));
  ASSERT_TRUE(link_a.Send(Hex("0d 04"), kAllRouters));  // routers only
  ASSERT_TRUE(RunUntil(loop, {&link_a, &link_b}, [&] { return at_b.packets.size() >= 2; }, seconds(2)));
  RunUntil(loop, {&link_a, &link_b}, [] { return false; }, milliseconds(50));
  ASSERT_EQ(at_b.packets.size(), 2u);
  EXPECT_EQ(at_b.packets[0], Hex("26 01"));
  EXPECT_EQ(at_b.packets[1], Hex("0d 03"));
  EXPECT_EQ(at_b.sources[0], MacAddress::ForNode(a));

  // A stranger on the host sends a good-looking frame to b's port: ignored.
  Bytes frame;
  EncodeEthernetFrame(MacAddress::ForNode(b), MacAddress::ForNode(a), Hex("26 05"), frame);
  int stranger = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  to.sin_port = htons(port_b);
  ::sendto(stranger, frame.data(), frame.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
  ::close(stranger);
  RunUntil(loop, {&link_a, &link_b}, [] { return false; }, milliseconds(100));
  EXPECT_EQ(at_b.packets.size(), 2u);
  link_a.Stop();
  link_b.Stop();
}

TEST(EthernetUdpLinkTest, BadFramesFromTheBridgeAreCountedAndDropped) {
  EventLoop loop;
  // The test plays the bridge from a socket of its own.
  int bridge = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in bridge_address{};
  bridge_address.sin_family = AF_INET;
  bridge_address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(bridge, reinterpret_cast<sockaddr*>(&bridge_address), sizeof bridge_address), 0);
  socklen_t length = sizeof bridge_address;
  ::getsockname(bridge, reinterpret_cast<sockaddr*>(&bridge_address), &length);
  const NodeAddress b = NodeAddress::Of(1, 6);
  EthernetUdpLink link(loop, b, {"127.0.0.1", 0, "127.0.0.1", ntohs(bridge_address.sin_port)});
  Recorder recorder;
  ASSERT_TRUE(link.Start(recorder, Clock::now(), nullptr));
  sockaddr_in to = bridge_address;
  to.sin_port = htons(link.bound_port());
  auto send = [&](const Bytes& frame) {
    ::sendto(bridge, frame.data(), frame.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
  };
  Bytes frame;
  EncodeEthernetFrame(MacAddress::ForNode(b), MacAddress::ForNode(NodeAddress::Of(1, 4)), Hex("26 05"), frame);
  Bytes past_end = frame;
  past_end[14] = 0xff;
  send(past_end);
  send(Hex("aa 00 04 00 06 04 aa"));  // not even a header
  send(Bytes(3000, 0x60));            // larger than any Ethernet frame
  Bytes others = past_end;
  others[5] = 0x09;                   // a bad frame for another station: not ours to count
  send(others);
  send(frame);
  ASSERT_TRUE(RunUntil(loop, {&link}, [&] { return recorder.packets.size() == 1; }, seconds(2)));
  EXPECT_EQ(recorder.packets[0], Hex("26 05"));
  EXPECT_EQ(recorder.malformed, 3) << "past its end, the runt for b, the oversized datagram";
  ::close(bridge);
  link.Stop();
}

TEST(EthernetPacketLinkTest, SaysWhatIsMissingWhenItCannotOpen) {
  EventLoop loop;
  Recorder recorder;
  std::string error;
  EthernetPacketLink nowhere(loop, NodeAddress::Of(1, 5), "no-such-if0");
  EXPECT_FALSE(nowhere.Start(recorder, Clock::now(), &error));
  EXPECT_NE(error.find("no interface named \"no-such-if0\""), std::string::npos) << error;

  if (::geteuid() == 0) GTEST_SKIP() << "running as root: the missing-privilege message cannot be seen";
  EthernetPacketLink loopback(loop, NodeAddress::Of(1, 5), "lo");
  EXPECT_FALSE(loopback.Start(recorder, Clock::now(), &error));
  EXPECT_NE(error.find("CAP_NET_RAW"), std::string::npos) << error;
}

}  // namespace
}  // namespace decnet
