// The routing-layer messages an end node sends and receives: point-to-point init,
// verify and hello; LAN router and end-node hellos; level 1 and 2 routing messages
// (only checked, an end node has no use for them); short and long data headers.
// Decoders take the packet with any padding already removed (see StripPadding), never
// read past it, and accept only what they can encode again byte for byte.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/bytes.h"
#include "decnet/address.h"
#include "link/mac_address.h"

namespace decnet {

enum class NodeType : uint8_t { kAreaRouter = 1, kL1Router = 2, kEndNode = 3 };

struct RoutingVersion {
  uint8_t major = 2, minor = 0, eco = 0;  // Phase IV is 2.0.0
  friend bool operator==(const RoutingVersion&, const RoutingVersion&) = default;
};

// The first byte of a routing packet says what it is.
enum class RoutingKind {
  kPtpInit, kPtpVerify, kPtpHello, kLevel1Routing, kLevel2Routing, kRouterHello, kEndnodeHello,
  kShortData, kLongData, kUnknown,
};
RoutingKind ClassifyRoutingPacket(ByteSpan packet);

// Removes Phase IV padding (a first byte with bit 7 set counts the pad bytes, itself
// included). nullopt when the padding runs past the packet or leaves nothing.
std::optional<ByteSpan> StripPadding(ByteSpan packet);

struct PtpInit {
  NodeAddress source;
  NodeType node_type = NodeType::kEndNode;
  bool verification_requested = false;
  bool blocking = false;
  uint8_t reserved_info = 0;  // bits 4-7 of the info byte, kept as received
  uint16_t block_size = 576;
  RoutingVersion version;
  uint16_t hello_timer = 60;  // seconds
  Bytes reserved;             // an I-field, at most 64 bytes; empty from Phase IV nodes
};

struct PtpVerify {
  NodeAddress source;
  Bytes function_value;  // at most 64 bytes
};

struct PtpHello {
  NodeAddress source;
  Bytes test_data;  // at most 128 bytes, each 0xAA in a good hello
};

// Level 1 (nodes of the area) or level 2 (areas) routing message.
struct RoutingMessage {
  struct Segment {
    uint16_t start = 0;
    std::vector<uint16_t> entries;  // hops << 10 | cost
  };
  bool level2 = false;
  NodeAddress source;
  std::vector<Segment> segments;
};

struct RouterListEntry {
  NodeAddress router;
  uint8_t priority = 0;  // 0..127
  bool two_way = false;
};

struct RouterHello {
  RoutingVersion version;
  NodeAddress id;
  uint8_t info = 2;          // bits 0-1: node type; the other bits kept as received
  uint16_t block_size = 0;
  uint8_t priority = 0;
  uint8_t area = 0;          // reserved
  uint16_t hello_timer = 0;  // seconds
  uint8_t mpd = 0;           // reserved
  std::array<uint8_t, 7> elist_reserved{};
  std::vector<RouterListEntry> routers;
  NodeType node_type() const { return static_cast<NodeType>(info & 3); }
};

struct EndnodeHello {
  RoutingVersion version;
  NodeAddress id;
  uint8_t info = 3;
  uint16_t block_size = 591;
  uint8_t area = 0;                 // reserved
  std::array<uint8_t, 8> seed{};    // verification seed, unused
  MacAddress designated_router;     // zero until one is known
  uint16_t hello_timer = 10;
  uint8_t mpd = 0;                  // reserved
  Bytes test_data;                  // at most 128 bytes
};

inline constexpr uint8_t kRqr = 0x08;          // return to sender if undeliverable
inline constexpr uint8_t kRts = 0x10;          // this packet is being returned
inline constexpr uint8_t kIntraEthernet = 0x20;
inline constexpr size_t kShortDataHeader = 6;
inline constexpr size_t kLongDataHeader = 21;

struct DataHeader {
  bool long_format = false;
  uint8_t flags = 0;  // kRqr, kRts, kIntraEthernet (long only)
  NodeAddress destination, source;
  uint8_t visits = 0;  // short format: the whole forward byte (visits in bits 0-5)
  // Long format fields that Phase IV reserves; kept so a packet re-encodes exactly.
  uint8_t destination_area = 0, destination_subarea = 0, source_area = 0, source_subarea = 0;
  uint8_t next_level2 = 0, service_class = 0, protocol_type = 0;
  bool rqr() const { return flags & kRqr; }
  bool rts() const { return flags & kRts; }
};

std::optional<PtpInit> DecodePtpInit(ByteSpan packet);
std::optional<PtpVerify> DecodePtpVerify(ByteSpan packet);
std::optional<PtpHello> DecodePtpHello(ByteSpan packet);
std::optional<RoutingMessage> DecodeRoutingMessage(ByteSpan packet);  // checks the checksum
std::optional<RouterHello> DecodeRouterHello(ByteSpan packet);
std::optional<EndnodeHello> DecodeEndnodeHello(ByteSpan packet);
// The header of a data packet and, in `payload`, the NSP message after it.
std::optional<DataHeader> DecodeDataHeader(ByteSpan packet, ByteSpan* payload);

// Encoders append to `out`.
void Encode(const PtpInit& message, Bytes& out);
void Encode(const PtpVerify& message, Bytes& out);
void Encode(const PtpHello& message, Bytes& out);
void Encode(const RoutingMessage& message, Bytes& out);
void Encode(const RouterHello& message, Bytes& out);
void Encode(const EndnodeHello& message, Bytes& out);
void Encode(const DataHeader& header, Bytes& out);

// The Phase IV routing-message checksum: 1 plus the 16-bit words, with end-around carry.
uint16_t RoutingChecksum(const std::vector<uint16_t>& words);

}  // namespace decnet
