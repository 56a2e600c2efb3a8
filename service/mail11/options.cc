// Encoding and negotiation of the MAIL-11 option block. Fields are little-endian;
// the layout is fixed at 16 bytes, so anything else is refused rather than guessed.
#include "mail11/options.h"

#include "pellam_status.h"

namespace pellam::mail11 {
namespace {

uint32_t Get32(const decnet::Message& d, size_t at) {
  return uint32_t{d[at]} | uint32_t{d[at + 1]} << 8 | uint32_t{d[at + 2]} << 16 |
         uint32_t{d[at + 3]} << 24;
}

void Put32(decnet::Message& d, uint32_t v) {
  for (int i = 0; i < 4; ++i) d.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

std::optional<OptionBlock> DecodeOptions(const decnet::Message& data) {
  if (data.size() != kOptionBlockSize) return std::nullopt;
  OptionBlock b;
  b.version = data[0];
  b.eco = data[1];
  b.customer_eco = data[2];
  b.operating_system = data[3];
  b.options = Get32(data, 4);
  b.modes = Get32(data, 8);
  b.record_format = data[12];
  b.record_attributes = data[13];
  b.organisation = data[14];
  b.spare = data[15];
  return b;
}

decnet::Message EncodeOptions(const OptionBlock& b) {
  decnet::Message d{b.version, b.eco, b.customer_eco, b.operating_system};
  Put32(d, b.options);
  Put32(d, b.modes);
  d.insert(d.end(), {b.record_format, b.record_attributes, b.organisation, b.spare});
  return d;
}

OptionBlock SenderProposal() {
  OptionBlock b;
  b.modes = kWantCc;
  return b;
}

AnswerCheck CheckAnswer(const OptionBlock& proposal, const decnet::Message& accept_data) {
  if (accept_data.empty()) return {};
  const auto answer = DecodeOptions(accept_data);
  if (!answer || answer->version != kProtocolVersion) return {ERR_PROTOCOL_VERSION, {}};
  // Want bits in an answer ask nothing of us; some receivers echo the proposal.
  const uint32_t granted = answer->modes & ~kWantBits;
  const uint32_t proposed = (proposal.modes & kWantBits) << 1;
  if (granted & ~proposed) return {ERR_OPTION_NOT_PROPOSED, {}};
  if (granted & ~kAcceptCc) return {ERR_PROTOCOL_MODE, {}};
  return {0, Terms{(granted & kAcceptCc) != 0}};
}

ConnectAnswer AnswerProposal(const decnet::Message& connect_data) {
  ConnectAnswer a;
  if (connect_data.empty()) {
    a.confirm = true;
    return a;
  }
  const auto proposal = DecodeOptions(connect_data);
  if (!proposal || proposal->version != kProtocolVersion) {
    a.status = ERR_PROTOCOL_VERSION;
    return a;
  }
  OptionBlock preset;
  preset.modes = (proposal->modes & kWantCc) ? kAcceptCc : 0;
  a.confirm = true;
  a.accept_data = EncodeOptions(preset);
  a.terms.cc = preset.modes != 0;
  a.refused_modes = proposal->modes & ~kWantCc;
  return a;
}

}  // namespace pellam::mail11
