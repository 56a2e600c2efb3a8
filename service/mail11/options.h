// The 16-byte MAIL-11 option block carried in the connect and confirm data, and the
// negotiation over it: the sender proposes (wants the CC line), the receiver answers
// with a fixed preset, and the sender checks that answer. Pure functions, no I/O.
#pragma once

#include <cstdint>
#include <optional>

#include "decnet/endpoint.h"

namespace pellam::mail11 {

inline constexpr size_t kOptionBlockSize = 16;
inline constexpr uint8_t kProtocolVersion = 3;

// Mode flags come in want/accept pairs: the sender sets a want bit, the receiver
// grants it by answering with the accept bit just above it.
inline constexpr uint32_t kWantBlock = 0x01, kAcceptBlock = 0x02;
inline constexpr uint32_t kWantAdd = 0x04, kAcceptAdd = 0x08;
inline constexpr uint32_t kWantCc = 0x10, kAcceptCc = 0x20;
inline constexpr uint32_t kWantId = 0x40, kAcceptId = 0x80;
inline constexpr uint32_t kWantForeign = 0x100, kAcceptForeign = 0x200;
inline constexpr uint32_t kWantBits = kWantBlock | kWantAdd | kWantCc | kWantId | kWantForeign;
inline constexpr uint32_t kAcceptBits = kWantBits << 1;

struct OptionBlock {
  uint8_t version = kProtocolVersion;
  uint8_t eco = 1;            // as VMS V7.3 sends it
  uint8_t customer_eco = 0;
  uint8_t operating_system = 18;  // the Linux code the Linux gateways chose
  uint32_t options = 0;       // bit 0 "notified"; never set by us
  uint32_t modes = 0;         // the kWant and kAccept bits
  uint8_t record_format = 2;  // RMS variable
  uint8_t record_attributes = 2;  // carriage return
  uint8_t organisation = 0;
  uint8_t spare = 0;
  friend bool operator==(const OptionBlock&, const OptionBlock&) = default;
};

// Exactly 16 bytes, or nothing: a short or long block is not an option block.
std::optional<OptionBlock> DecodeOptions(const decnet::Message& data);
decnet::Message EncodeOptions(const OptionBlock& block);

// What the two ends agreed on; the default is the old form without CC, which is
// also what a connect or confirm without option data means.
struct Terms {
  bool cc = false;
};

// The sender's connect data: version 3, wants the CC line, record mode.
OptionBlock SenderProposal();

// The sender's check of the confirm data against its own proposal. `status` is 0
// when the link may be used with `terms`; else ERR_PROTOCOL_VERSION (another version,
// or data that is no option block), ERR_OPTION_NOT_PROPOSED (an accept bit for
// something not wanted, or an unknown bit) or ERR_PROTOCOL_MODE (granted, but a mode
// this sender cannot speak). Empty confirm data: the old form, status 0, no CC.
struct AnswerCheck {
  uint32_t status = 0;
  Terms terms;
};
AnswerCheck CheckAnswer(const OptionBlock& proposal, const decnet::Message& accept_data);

// The receiver's fixed answer to a connect's data. `confirm` false means reject
// (`status` ERR_PROTOCOL_VERSION: a block of the wrong size or version). Only CC is
// ever granted, and only when it was wanted: a strict sender refuses an accept bit
// it did not ask for. `refused_modes` holds the want bits (and any stray bits) asked
// for and not granted, for the EVT_MODES_REFUSED event; the link still goes ahead
// in record mode, as the sender decides from our answer whether it can live with it.
// No connect data: confirm with no data, old form (an old sender reads none).
struct ConnectAnswer {
  bool confirm = false;
  uint32_t status = 0;
  decnet::Message accept_data;
  Terms terms;
  uint32_t refused_modes = 0;
};
ConnectAnswer AnswerProposal(const decnet::Message& connect_data);

}  // namespace pellam::mail11
