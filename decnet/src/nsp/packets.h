// Every NSP message: the decoded form, the decoder and the encoder. Decoding checks
// the layout only (the connection judges the meaning) and keeps every field as it was
// on the wire, so that an accepted message encodes back to exactly the same bytes.
// Decoded spans point into the caller's buffer.
#pragma once

#include <cstdint>
#include <optional>

#include "core/bytes.h"

namespace decnet {

enum class NspType : uint8_t {
  kData,              // 0x00 + 0x20 BOM + 0x40 EOM
  kLinkService,       // 0x10
  kInterrupt,         // 0x30
  kDataAck,           // 0x04
  kOtherAck,          // 0x14
  kConnectAck,        // 0x24
  kNop,               // 0x08
  kConnectInitiate,   // 0x18, or 0x68 when retransmitted
  kConnectConfirm,    // 0x28
  kDisconnectInitiate,  // 0x38
  kDisconnectConfirm,   // 0x48
};

namespace msgflg {
constexpr uint8_t kData = 0x00, kBom = 0x20, kEom = 0x40;
constexpr uint8_t kLinkService = 0x10, kInterrupt = 0x30;
constexpr uint8_t kDataAck = 0x04, kOtherAck = 0x14, kConnectAck = 0x24;
constexpr uint8_t kNop = 0x08, kConnectInitiate = 0x18, kRetransmittedCi = 0x68;
constexpr uint8_t kConnectConfirm = 0x28, kDisconnectInitiate = 0x38, kDisconnectConfirm = 0x48;
}  // namespace msgflg

// An ack field: bit 15 says it is there, bits 12-13 qualify it, the low 12 bits number.
enum AckQualifier : uint8_t { kAck = 0, kNak = 1, kCrossAck = 2, kCrossNak = 3 };

struct AckField {
  uint16_t raw = 0;  // 0 = absent
  bool present() const { return raw & 0x8000; }
  uint16_t number() const { return raw & 0x0fff; }
  uint8_t qualifier() const { return (raw >> 12) & 7; }
  bool cross() const { return qualifier() == kCrossAck || qualifier() == kCrossNak; }
  bool nak() const { return qualifier() == kNak || qualifier() == kCrossNak; }
  static AckField Make(uint16_t number, AckQualifier q) {
    return AckField{static_cast<uint16_t>(0x8000 | (q << 12) | (number & 0x0fff))};
  }
};

// Services byte of CI and CC: bits 0-1 always 01, bits 2-3 the flow control the
// sender of the message wants for the data it receives.
enum class FlowMode : uint8_t { kNone = 0, kSegment = 1, kMessage = 2 };

// Link service flags: bits 0-1 fcmod, bits 2-3 fcval_int.
enum LinkServiceMod : uint8_t { kNoChange = 0, kXoff = 1, kXon = 2 };
enum LinkServiceKind : uint8_t { kDataRequest = 0, kInterruptRequest = 1 };

struct NspMessage {
  NspType type = NspType::kNop;
  uint8_t flags = 0;        // the msgflg byte itself
  uint16_t dst = 0, src = 0;
  AckField ack1, ack2;      // in wire order; either may be absent
  uint16_t segfield = 0;    // data: 12-bit number + bit 12 DLY; other data: the number
  uint8_t lsflags = 0;
  int8_t fcval = 0;
  uint8_t services = 0, info = 0;
  uint16_t segsize = 0;
  uint16_t reason = 0;
  bool has_data_ctl = false;  // CC and DI: the I-field was there (a few senders omit it)
  ByteSpan data;            // data, interrupt, CI session data, CC/DI data-ctl
  ByteSpan trailer;         // bytes after the last field, kept so re-encoding is exact

  uint16_t segnum() const { return segfield & 0x0fff; }
  bool dly() const { return type == NspType::kData && (segfield & 0x1000); }
  bool bom() const { return flags & msgflg::kBom; }
  bool eom() const { return flags & msgflg::kEom; }
  uint8_t fcmod() const { return lsflags & 3; }
  uint8_t fcval_int() const { return (lsflags >> 2) & 3; }
  FlowMode flow() const { return static_cast<FlowMode>((services >> 2) & 3); }
};

// nullopt for anything that is not a well-formed NSP message.
std::optional<NspMessage> DecodeNsp(ByteSpan wire);

// Writes `message` into `out` (cleared first; its capacity is reused).
void EncodeNsp(const NspMessage& message, Bytes& out);

constexpr size_t kMaxDataCtl = 16;     // CC and DI data, interrupt data
constexpr uint8_t kNspInfo40 = 2;      // NSP 4.0 in the info byte
constexpr uint8_t ServicesFor(FlowMode mode) { return static_cast<uint8_t>(0x01 | (static_cast<uint8_t>(mode) << 2)); }

// Disconnect confirm reasons NSP itself uses.
constexpr uint16_t kDcNoResources = 1, kDcNoLink = 41, kDcComplete = 42;

}  // namespace decnet
