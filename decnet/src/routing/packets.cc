// Routing-layer message coding. Every decoder insists on the whole packet being used
// (hellos and inits end with an I-field, data headers hand the rest to NSP), so that an
// accepted packet encodes back to exactly the bytes it came from.
#include "routing/packets.h"

#include <algorithm>

namespace decnet {

namespace {

constexpr std::array<uint8_t, 4> kHiord{0xaa, 0x00, 0x04, 0x00};

void Put8(Bytes& out, uint8_t v) { out.push_back(v); }
void Put16(Bytes& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v & 0xff));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void PutBytes(Bytes& out, ByteSpan s) { out.insert(out.end(), s.begin(), s.end()); }
void PutCounted(Bytes& out, ByteSpan s) {
  Put8(out, static_cast<uint8_t>(s.size()));
  PutBytes(out, s);
}
void PutVersion(Bytes& out, const RoutingVersion& v) {
  Put8(out, v.major);
  Put8(out, v.minor);
  Put8(out, v.eco);
}
// A station id in a hello: AA-00-04-00 and the node address.
void PutId(Bytes& out, NodeAddress node) {
  PutBytes(out, kHiord);
  Put16(out, node.value);
}

RoutingVersion GetVersion(ByteReader& in) {
  RoutingVersion v;
  v.major = in.U8();
  v.minor = in.U8();
  v.eco = in.U8();
  return v;
}
NodeAddress GetId(ByteReader& in) {
  ByteSpan hi = in.Take(4);
  if (in.ok() && !std::equal(hi.begin(), hi.end(), kHiord.begin())) in.Fail();
  return NodeAddress{in.U16()};
}
Bytes GetCounted(ByteReader& in, size_t max) {
  ByteSpan s = in.Counted(max);
  return Bytes(s.begin(), s.end());
}

// The control header: bit 0 set, type in bits 1-3, nothing else.
bool ControlHeader(ByteReader& in, uint8_t type) { return in.U8() == static_cast<uint8_t>(1 | (type << 1)); }

}  // namespace

RoutingKind ClassifyRoutingPacket(ByteSpan packet) {
  if (packet.empty()) return RoutingKind::kUnknown;
  uint8_t b = packet[0];
  if (b & 1) {
    if (b & 0xf0) return RoutingKind::kUnknown;  // Phase IV-prime types, padding
    switch ((b >> 1) & 7) {
      case 0: return RoutingKind::kPtpInit;
      case 1: return RoutingKind::kPtpVerify;
      case 2: return RoutingKind::kPtpHello;
      case 3: return RoutingKind::kLevel1Routing;
      case 4: return RoutingKind::kLevel2Routing;
      case 5: return RoutingKind::kRouterHello;
      case 6: return RoutingKind::kEndnodeHello;
      default: return RoutingKind::kUnknown;
    }
  }
  if ((b & 0xc7) == 0x02) return RoutingKind::kShortData;
  if ((b & 0xc7) == 0x06) return RoutingKind::kLongData;
  return RoutingKind::kUnknown;
}

std::optional<ByteSpan> StripPadding(ByteSpan packet) {
  if (packet.empty()) return std::nullopt;
  if (!(packet[0] & 0x80)) return packet;
  size_t pad = packet[0] & 0x7f;
  if (pad == 0 || pad >= packet.size()) return std::nullopt;
  return packet.subspan(pad);
}

std::optional<PtpInit> DecodePtpInit(ByteSpan packet) {
  ByteReader in(packet);
  if (!ControlHeader(in, 0)) return std::nullopt;
  PtpInit m;
  m.source = NodeAddress{in.U16()};
  uint8_t info = in.U8();
  m.node_type = static_cast<NodeType>(info & 3);
  m.verification_requested = info & 4;
  m.blocking = info & 8;
  m.reserved_info = info & 0xf0;
  m.block_size = in.U16();
  m.version = GetVersion(in);
  m.hello_timer = in.U16();
  m.reserved = GetCounted(in, 64);
  if (!in.ok() || !in.at_end() || (info & 3) == 0) return std::nullopt;
  return m;
}

void Encode(const PtpInit& m, Bytes& out) {
  Put8(out, 0x01);
  Put16(out, m.source.value);
  Put8(out, static_cast<uint8_t>((static_cast<uint8_t>(m.node_type) & 3) | (m.verification_requested ? 4 : 0) |
                                 (m.blocking ? 8 : 0) | (m.reserved_info & 0xf0)));
  Put16(out, m.block_size);
  PutVersion(out, m.version);
  Put16(out, m.hello_timer);
  PutCounted(out, m.reserved);
}

std::optional<PtpVerify> DecodePtpVerify(ByteSpan packet) {
  ByteReader in(packet);
  if (!ControlHeader(in, 1)) return std::nullopt;
  PtpVerify m;
  m.source = NodeAddress{in.U16()};
  m.function_value = GetCounted(in, 64);
  if (!in.ok() || !in.at_end()) return std::nullopt;
  return m;
}

void Encode(const PtpVerify& m, Bytes& out) {
  Put8(out, 0x03);
  Put16(out, m.source.value);
  PutCounted(out, m.function_value);
}

std::optional<PtpHello> DecodePtpHello(ByteSpan packet) {
  ByteReader in(packet);
  if (!ControlHeader(in, 2)) return std::nullopt;
  PtpHello m;
  m.source = NodeAddress{in.U16()};
  m.test_data = GetCounted(in, 128);
  if (!in.ok() || !in.at_end()) return std::nullopt;
  return m;
}

void Encode(const PtpHello& m, Bytes& out) {
  Put8(out, 0x05);
  Put16(out, m.source.value);
  PutCounted(out, m.test_data);
}

uint16_t RoutingChecksum(const std::vector<uint16_t>& words) {
  uint32_t sum = 1;
  for (uint16_t w : words) {
    sum += w;
    sum = (sum & 0xffff) + (sum >> 16);
  }
  return static_cast<uint16_t>(sum);
}

std::optional<RoutingMessage> DecodeRoutingMessage(ByteSpan packet) {
  ByteReader in(packet);
  uint8_t first = in.U8();
  RoutingMessage m;
  if (first == 0x07) {
    m.level2 = false;
  } else if (first == 0x09) {
    m.level2 = true;
  } else {
    return std::nullopt;
  }
  m.source = NodeAddress{in.U16()};
  if (in.U8() != 0 || !in.ok()) return std::nullopt;  // the reserved byte
  size_t rest = in.remaining();
  if (rest < 2 || rest % 2 != 0) return std::nullopt;
  std::vector<uint16_t> words;
  words.reserve(rest / 2);
  while (!in.at_end()) words.push_back(in.U16());
  uint16_t checksum = words.back();
  words.pop_back();
  if (RoutingChecksum(words) != checksum) return std::nullopt;
  size_t limit = m.level2 ? 64 : 1024;
  size_t i = 0;
  while (i < words.size()) {
    if (words.size() - i < 2) return std::nullopt;
    size_t count = words[i], start = words[i + 1];
    if (count == 0 || start + count > limit || (m.level2 && start == 0) || words.size() - i - 2 < count) {
      return std::nullopt;
    }
    RoutingMessage::Segment segment;
    segment.start = static_cast<uint16_t>(start);
    segment.entries.assign(words.begin() + static_cast<std::ptrdiff_t>(i + 2),
                           words.begin() + static_cast<std::ptrdiff_t>(i + 2 + count));
    m.segments.push_back(std::move(segment));
    i += 2 + count;
  }
  if (m.segments.empty()) return std::nullopt;
  return m;
}

void Encode(const RoutingMessage& m, Bytes& out) {
  Put8(out, m.level2 ? 0x09 : 0x07);
  Put16(out, m.source.value);
  Put8(out, 0);
  std::vector<uint16_t> words;
  for (const auto& segment : m.segments) {
    words.push_back(static_cast<uint16_t>(segment.entries.size()));
    words.push_back(segment.start);
    words.insert(words.end(), segment.entries.begin(), segment.entries.end());
  }
  for (uint16_t w : words) Put16(out, w);
  Put16(out, RoutingChecksum(words));
}

std::optional<RouterHello> DecodeRouterHello(ByteSpan packet) {
  ByteReader in(packet);
  if (!ControlHeader(in, 5)) return std::nullopt;
  RouterHello m;
  m.version = GetVersion(in);
  m.id = GetId(in);
  m.info = in.U8();
  m.block_size = in.U16();
  m.priority = in.U8();
  m.area = in.U8();
  m.hello_timer = in.U16();
  m.mpd = in.U8();
  ByteSpan elist = in.Counted(244);
  if (!in.ok() || !in.at_end()) return std::nullopt;
  ByteReader list(elist);
  ByteSpan reserved = list.Take(7);
  if (!list.ok()) return std::nullopt;
  std::copy(reserved.begin(), reserved.end(), m.elist_reserved.begin());
  ByteSpan routers = list.Counted(236);
  if (!list.ok() || !list.at_end() || routers.size() % 7 != 0) return std::nullopt;
  ByteReader entries(routers);
  while (!entries.at_end()) {
    RouterListEntry entry;
    entry.router = GetId(entries);
    uint8_t state = entries.U8();
    entry.priority = state & 0x7f;
    entry.two_way = state & 0x80;
    if (!entries.ok()) return std::nullopt;
    m.routers.push_back(entry);
  }
  return m;
}

void Encode(const RouterHello& m, Bytes& out) {
  Put8(out, 0x0b);
  PutVersion(out, m.version);
  PutId(out, m.id);
  Put8(out, m.info);
  Put16(out, m.block_size);
  Put8(out, m.priority);
  Put8(out, m.area);
  Put16(out, m.hello_timer);
  Put8(out, m.mpd);
  Put8(out, static_cast<uint8_t>(7 + 1 + 7 * m.routers.size()));
  PutBytes(out, m.elist_reserved);
  Put8(out, static_cast<uint8_t>(7 * m.routers.size()));
  for (const auto& entry : m.routers) {
    PutId(out, entry.router);
    Put8(out, static_cast<uint8_t>((entry.priority & 0x7f) | (entry.two_way ? 0x80 : 0)));
  }
}

std::optional<EndnodeHello> DecodeEndnodeHello(ByteSpan packet) {
  ByteReader in(packet);
  if (!ControlHeader(in, 6)) return std::nullopt;
  EndnodeHello m;
  m.version = GetVersion(in);
  m.id = GetId(in);
  m.info = in.U8();
  m.block_size = in.U16();
  m.area = in.U8();
  ByteSpan seed = in.Take(8);
  ByteSpan neighbor = in.Take(6);
  m.hello_timer = in.U16();
  m.mpd = in.U8();
  m.test_data = GetCounted(in, 128);
  if (!in.ok() || !in.at_end()) return std::nullopt;
  std::copy(seed.begin(), seed.end(), m.seed.begin());
  std::copy(neighbor.begin(), neighbor.end(), m.designated_router.octets.begin());
  return m;
}

void Encode(const EndnodeHello& m, Bytes& out) {
  Put8(out, 0x0d);
  PutVersion(out, m.version);
  PutId(out, m.id);
  Put8(out, m.info);
  Put16(out, m.block_size);
  Put8(out, m.area);
  PutBytes(out, m.seed);
  PutBytes(out, m.designated_router.octets);
  Put16(out, m.hello_timer);
  Put8(out, m.mpd);
  PutCounted(out, m.test_data);
}

std::optional<DataHeader> DecodeDataHeader(ByteSpan packet, ByteSpan* payload) {
  ByteReader in(packet);
  uint8_t first = in.U8();
  DataHeader h;
  h.flags = first & 0x38;
  if ((first & 0xc7) == 0x02) {
    h.long_format = false;
    h.destination = NodeAddress{in.U16()};
    h.source = NodeAddress{in.U16()};
    h.visits = in.U8();
  } else if ((first & 0xc7) == 0x06) {
    h.long_format = true;
    h.destination_area = in.U8();
    h.destination_subarea = in.U8();
    h.destination = GetId(in);
    h.source_area = in.U8();
    h.source_subarea = in.U8();
    h.source = GetId(in);
    h.next_level2 = in.U8();
    h.visits = in.U8();
    h.service_class = in.U8();
    h.protocol_type = in.U8();
  } else {
    return std::nullopt;
  }
  if (!in.ok()) return std::nullopt;
  *payload = in.Rest();
  return h;
}

void Encode(const DataHeader& h, Bytes& out) {
  if (!h.long_format) {
    Put8(out, static_cast<uint8_t>(0x02 | (h.flags & 0x38)));
    Put16(out, h.destination.value);
    Put16(out, h.source.value);
    Put8(out, h.visits);
    return;
  }
  Put8(out, static_cast<uint8_t>(0x06 | (h.flags & 0x38)));
  Put8(out, h.destination_area);
  Put8(out, h.destination_subarea);
  PutId(out, h.destination);
  Put8(out, h.source_area);
  Put8(out, h.source_subarea);
  PutId(out, h.source);
  Put8(out, h.next_level2);
  Put8(out, h.visits);
  Put8(out, h.service_class);
  Put8(out, h.protocol_type);
}

}  // namespace decnet
