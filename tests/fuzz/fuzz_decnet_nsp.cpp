// Fuzzes NSP twice over. First the decoder alone: an accepted message must encode
// back to exactly the input, and its spans must lie inside it. Then the input as a
// stream of messages from one peer into a whole NSP (one link of ours open, the
// peer's connects accepted, timers run on a fake clock between messages): nothing
// may crash, and links and kept segments stay within their limits.
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_check.h"
#include "nsp/nsp.h"
#include "nsp/packets.h"

namespace {
using namespace decnet;

class Port : public RoutingPort {
 public:
  bool SendNsp(NodeAddress, ByteSpan m, bool) override {
    FUZZ_CHECK(DecodeNsp(m).has_value());  // everything we send must be well formed
    ++sent;
    return true;
  }
  NodeAddress LocalAddress() const override { return NodeAddress::Of(1, 2); }
  size_t MaxNspMessage() const override { return 576; }
  size_t sent = 0;
};

class Upper : public NspEvents {
 public:
  TimePoint now{};
  void OnConnectInitiate(Connection& c, ByteSpan) override { c.Accept({}, now); }
  void OnAccepted(Connection& c, ByteSpan) override { c.SendMessage(std::make_shared<const Bytes>(700, 1), now); }
  void OnData(Connection& c, Bytes&& m) override {
    FUZZ_CHECK(m.size() <= (1u << 20));
    if (m.size() == 3) c.SetReceiveBusy(true, m[0] & 1, now);
  }
  bool OnInterrupt(Connection&, ByteSpan d) override { return d.size() % 2 == 0; }
  void OnSendProgress(Connection&, size_t, size_t) override {}
  void OnClosed(Connection&, CloseKind, uint16_t, ByteSpan) override {}
};

void CheckRoundTrip(ByteSpan wire) {
  auto m = DecodeNsp(wire);
  if (!m) return;
  auto inside = [&](ByteSpan s) {
    return s.empty() || (s.data() >= wire.data() && s.data() + s.size() <= wire.data() + wire.size());
  };
  FUZZ_CHECK(inside(m->data) && inside(m->trailer));
  Bytes again;
  EncodeNsp(*m, again);
  FUZZ_CHECK(again.size() == wire.size() && std::memcmp(again.data(), wire.data(), wire.size()) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ByteSpan input(data, size);
  CheckRoundTrip(input);

  Port port;
  Upper upper;
  NspSettings settings;
  settings.max_links = 4;
  settings.first_address = 0x0100;  // our first link is 0x0101: a fuzzer can find it
  Nsp nsp(port, upper, settings);
  upper.now = TimePoint{} + std::chrono::hours(1);
  nsp.Connect(NodeAddress::Of(1, 1), Bytes{0, 25, 0, 25, 0}, upper.now);
  // Records: a length byte, then that many bytes of NSP message.
  size_t pos = 0;
  while (pos < size) {
    size_t length = std::min<size_t>(data[pos], size - pos - 1);
    ByteSpan message(data + pos + 1, length);
    CheckRoundTrip(message);
    nsp.Receive(NodeAddress::Of(1, 1), message, length > 0 && (data[pos + 1] & 0x80), upper.now);
    pos += 1 + length;
    upper.now += std::chrono::milliseconds(data[pos - 1] * 50);
    if (auto d = nsp.NextDeadline(); d && *d <= upper.now) nsp.Tick(upper.now);
    FUZZ_CHECK(nsp.size() <= settings.max_links);
    for (uint16_t a = 0x0101; a < 0x0106; ++a) {
      if (Connection* c = nsp.Find(a)) FUZZ_CHECK(c->unacknowledged_segments() <= settings.send_window);
    }
  }
  return 0;
}
