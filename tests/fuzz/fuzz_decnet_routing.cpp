// Fuzzes the routing layer's decoders and both end-node circuits with one packet.
// Checked: a packet a decoder accepts encodes back to exactly its bytes (after any
// padding); the circuits never hand NSP an empty message or one for another node,
// and their tables stay within their bounds.
#include <cstdint>
#include <cstring>

#include "../decnet/routing/fakes.h"
#include "fuzz_check.h"
#include "routing/lan_circuit.h"
#include "routing/packets.h"
#include "routing/ptp_circuit.h"

namespace {

using namespace decnet;

const NodeAddress kSelf = NodeAddress::Of(1, 2);

class CheckingReceiver : public NspReceiver {
 public:
  void OnNspMessage(NodeAddress, ByteSpan nsp_message, bool) override { FUZZ_CHECK(!nsp_message.empty()); }
};

template <typename Message, typename Decoder>
void CheckRoundTrip(ByteSpan packet, Decoder decode) {
  std::optional<Message> message = decode(packet);
  if (!message) return;
  Bytes again;
  Encode(*message, again);
  FUZZ_CHECK(again.size() == packet.size() && std::memcmp(again.data(), packet.data(), packet.size()) == 0);
}

void CheckDecoders(ByteSpan raw) {
  std::optional<ByteSpan> stripped = StripPadding(raw);
  if (!stripped) return;
  ByteSpan packet = *stripped;
  FUZZ_CHECK(!packet.empty() && packet.size() <= raw.size());
  CheckRoundTrip<PtpInit>(packet, DecodePtpInit);
  CheckRoundTrip<PtpVerify>(packet, DecodePtpVerify);
  CheckRoundTrip<PtpHello>(packet, DecodePtpHello);
  CheckRoundTrip<RoutingMessage>(packet, DecodeRoutingMessage);
  CheckRoundTrip<RouterHello>(packet, DecodeRouterHello);
  CheckRoundTrip<EndnodeHello>(packet, DecodeEndnodeHello);
  ByteSpan payload;
  if (auto header = DecodeDataHeader(packet, &payload)) {
    Bytes again;
    Encode(*header, again);
    again.insert(again.end(), payload.begin(), payload.end());
    FUZZ_CHECK(again.size() == packet.size() && std::memcmp(again.data(), packet.data(), packet.size()) == 0);
    FUZZ_CHECK(ClassifyRoutingPacket(packet) == (header->long_format ? RoutingKind::kLongData : RoutingKind::kShortData));
  }
}

// A point-to-point circuit with its adjacency up, then the packet, then time passing.
void CheckPtp(ByteSpan packet) {
  testing::FakeLink link(false);
  CheckingReceiver receiver;
  PtpSettings settings;
  settings.self = kSelf;
  PtpCircuit circuit(link, receiver, settings);
  TimePoint now{seconds(100)};
  link.Start(circuit, now, nullptr);
  circuit.OnLinkUp(now);
  PtpInit init;
  init.source = NodeAddress::Of(1, 1);
  init.node_type = NodeType::kL1Router;
  Bytes init_bytes;
  Encode(init, init_bytes);
  circuit.OnPacket(init_bytes, MacAddress{}, now);
  FUZZ_CHECK(circuit.adjacency_up());
  circuit.OnPacket(packet, MacAddress{}, now);
  circuit.Tick(now + seconds(30));
  circuit.OnPacket(packet, MacAddress{}, now + seconds(31));
  FUZZ_CHECK(circuit.counters().malformed <= 2);
}

void CheckLan(ByteSpan packet) {
  testing::FakeLink link(true);
  CheckingReceiver receiver;
  LanSettings settings;
  settings.self = kSelf;
  settings.max_routers = 2;
  settings.max_cache_entries = 2;
  LanCircuit circuit(link, receiver, settings);
  TimePoint now{seconds(100)};
  link.Start(circuit, now, nullptr);
  circuit.OnLinkUp(now);
  // The packet from several stations, so that the tables fill up.
  for (uint16_t n = 1; n <= 4; ++n) circuit.OnPacket(packet, MacAddress::ForNode(NodeAddress::Of(1, n)), now);
  FUZZ_CHECK(circuit.cache_size() <= 2);
  circuit.Tick(now + seconds(61));
  FUZZ_CHECK(circuit.cache_size() == 0);
  // A router may name a hello time of up to 65535 s; three of those and it is gone.
  circuit.Tick(now + seconds(3 * 65536));
  FUZZ_CHECK(!circuit.designated_router());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ByteSpan packet(data, size);
  CheckDecoders(packet);
  CheckPtp(packet);
  CheckLan(packet);
  return 0;
}
