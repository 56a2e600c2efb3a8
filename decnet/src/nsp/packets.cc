// NSP message layouts (see packets.h). The decoder is strict about what would make a
// message ambiguous (two acks for one subchannel, reserved link-service values, an
// I-field running past the end) and tolerant of what peers are known to do (extra
// bytes at the end, a CC or DI without its data field).
#include "nsp/packets.h"

namespace decnet {
namespace {

// Up to two optional ack fields, told apart from what follows by bit 15.
bool ReadAcks(ByteReader& r, ByteSpan wire, NspMessage& m) {
  for (AckField* field : {&m.ack1, &m.ack2}) {
    size_t pos = r.position();
    if (r.remaining() < 2 || !(wire[pos + 1] & 0x80)) break;
    field->raw = r.U16();
    if (field->qualifier() > kCrossNak) return false;
  }
  if (m.ack1.present() && m.ack2.present() && m.ack1.cross() == m.ack2.cross()) return false;
  return true;
}

// A data-ctl I-field of at most 16 bytes; absent when the message simply ends.
bool ReadDataCtl(ByteReader& r, NspMessage& m) {
  if (r.at_end()) return true;
  m.has_data_ctl = true;
  m.data = r.Counted(kMaxDataCtl);
  return r.ok();
}

}  // namespace

std::optional<NspMessage> DecodeNsp(ByteSpan wire) {
  ByteReader r(wire);
  NspMessage m;
  m.flags = r.U8();
  if (!r.ok()) return std::nullopt;
  switch (m.flags) {
    case msgflg::kData:
    case msgflg::kData | msgflg::kBom:
    case msgflg::kData | msgflg::kEom:
    case msgflg::kData | msgflg::kBom | msgflg::kEom:
    case msgflg::kInterrupt:
    case msgflg::kLinkService: {
      m.type = (m.flags & 0x90) == 0 ? NspType::kData
               : m.flags == msgflg::kInterrupt ? NspType::kInterrupt
                                               : NspType::kLinkService;
      m.dst = r.U16();
      m.src = r.U16();
      if (!r.ok() || !ReadAcks(r, wire, m)) return std::nullopt;
      m.segfield = r.U16();
      if (m.type == NspType::kLinkService) {
        m.lsflags = r.U8();
        m.fcval = static_cast<int8_t>(r.U8());
        if ((m.lsflags & 0xf0) || m.fcmod() == 3 || m.fcval_int() > kInterruptRequest) return std::nullopt;
        m.trailer = r.Rest();
      } else {
        m.data = r.Rest();
      }
      break;
    }
    case msgflg::kDataAck:
    case msgflg::kOtherAck:
      m.type = m.flags == msgflg::kDataAck ? NspType::kDataAck : NspType::kOtherAck;
      m.dst = r.U16();
      m.src = r.U16();
      if (!r.ok() || !ReadAcks(r, wire, m) || !m.ack1.present()) return std::nullopt;
      m.trailer = r.Rest();
      break;
    case msgflg::kConnectAck:
      m.type = NspType::kConnectAck;
      m.dst = r.U16();
      m.trailer = r.Rest();
      break;
    case msgflg::kNop:
      m.type = NspType::kNop;
      m.trailer = r.Rest();
      break;
    case msgflg::kConnectInitiate:
    case msgflg::kRetransmittedCi:
    case msgflg::kConnectConfirm:
      m.type = m.flags == msgflg::kConnectConfirm ? NspType::kConnectConfirm : NspType::kConnectInitiate;
      m.dst = r.U16();
      m.src = r.U16();
      m.services = r.U8();
      m.info = r.U8();
      m.segsize = r.U16();
      if (!r.ok()) return std::nullopt;
      if (m.type == NspType::kConnectInitiate) {
        if (m.dst != 0) return std::nullopt;
        m.data = r.Rest();
      } else {
        if (!ReadDataCtl(r, m)) return std::nullopt;
        m.trailer = r.Rest();
      }
      break;
    case msgflg::kDisconnectInitiate:
    case msgflg::kDisconnectConfirm:
      m.type = m.flags == msgflg::kDisconnectInitiate ? NspType::kDisconnectInitiate : NspType::kDisconnectConfirm;
      m.dst = r.U16();
      m.src = r.U16();
      m.reason = r.U16();
      if (!r.ok()) return std::nullopt;
      if (m.type == NspType::kDisconnectInitiate && !ReadDataCtl(r, m)) return std::nullopt;
      m.trailer = r.Rest();
      break;
    default:
      return std::nullopt;
  }
  if (!r.ok()) return std::nullopt;
  return m;
}

void EncodeNsp(const NspMessage& m, Bytes& out) {
  out.clear();
  ByteWriter w;
  std::swap(w.bytes(), out);
  w.U8(m.flags);
  auto acks = [&] {
    if (m.ack1.present()) w.U16(m.ack1.raw);
    if (m.ack2.present()) w.U16(m.ack2.raw);
  };
  switch (m.type) {
    case NspType::kData:
    case NspType::kInterrupt:
    case NspType::kLinkService:
      w.U16(m.dst).U16(m.src);
      acks();
      w.U16(m.segfield);
      if (m.type == NspType::kLinkService) w.U8(m.lsflags).U8(static_cast<uint8_t>(m.fcval));
      else w.Append(m.data);
      break;
    case NspType::kDataAck:
    case NspType::kOtherAck:
      w.U16(m.dst).U16(m.src);
      acks();
      break;
    case NspType::kConnectAck:
      w.U16(m.dst);
      break;
    case NspType::kNop:
      break;
    case NspType::kConnectInitiate:
    case NspType::kConnectConfirm:
      w.U16(m.dst).U16(m.src).U8(m.services).U8(m.info).U16(m.segsize);
      if (m.type == NspType::kConnectInitiate) w.Append(m.data);
      else if (m.has_data_ctl) w.Counted(m.data);
      break;
    case NspType::kDisconnectInitiate:
    case NspType::kDisconnectConfirm:
      w.U16(m.dst).U16(m.src).U16(m.reason);
      if (m.type == NspType::kDisconnectInitiate && m.has_data_ctl) w.Counted(m.data);
      break;
  }
  w.Append(m.trailer);
  std::swap(w.bytes(), out);
}

}  // namespace decnet
