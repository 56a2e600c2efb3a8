// Connect data layouts (see connect_data.h).
#include "session/connect_data.h"

namespace decnet {
namespace {

bool DecodeEndUser(ByteReader& r, EndUser& user) {
  user.format = r.U8();
  user.object = r.U8();
  switch (user.format) {
    case 0:
      return r.ok() && user.object != 0;
    case 2:
      user.group = r.U16();
      user.user = r.U16();
      [[fallthrough]];
    case 1:
      user.name = r.CountedString(kMaxEndUserName);
      return r.ok() && !user.name.empty();
    default:
      return false;
  }
}

void EncodeEndUser(const EndUser& user, ByteWriter& w) {
  w.U8(user.format).U8(user.object);
  if (user.format == 2) w.U16(user.group).U16(user.user);
  if (user.format != 0) w.Counted(user.name);
}

}  // namespace

bool ValidEndUser(const EndUser& user) {
  switch (user.format) {
    case 0: return user.object != 0;
    case 1:
    case 2: return !user.name.empty() && user.name.size() <= kMaxEndUserName;
    default: return false;
  }
}

std::optional<ConnectData> DecodeConnectData(ByteSpan wire) {
  ByteReader r(wire);
  ConnectData d;
  if (!DecodeEndUser(r, d.destination) || !DecodeEndUser(r, d.source)) return std::nullopt;
  d.menuver = r.U8();
  if (!r.ok()) return std::nullopt;
  if (d.menuver & menuver::kAccessControl) {
    AccessControl a;
    a.user = r.CountedString(kMaxAccessField);
    a.password = r.CountedString(kMaxAccessField);
    a.account = r.CountedString(kMaxAccessField);
    d.access = std::move(a);
  }
  if (d.menuver & menuver::kUserData) {
    ByteSpan u = r.Counted(kMaxUserData);
    d.user_data.assign(u.begin(), u.end());
  }
  if (!r.ok()) return std::nullopt;
  ByteSpan rest = r.Rest();
  d.trailer.assign(rest.begin(), rest.end());
  return d;
}

bool EncodeConnectData(const ConnectData& d, Bytes& out) {
  if (!ValidEndUser(d.destination) || !ValidEndUser(d.source)) return false;
  if (d.access.has_value() != bool(d.menuver & menuver::kAccessControl)) return false;
  if (d.user_data.size() > kMaxUserData) return false;
  if (!(d.menuver & menuver::kUserData) && !d.user_data.empty()) return false;
  if (d.access && (d.access->user.size() > kMaxAccessField || d.access->password.size() > kMaxAccessField ||
                   d.access->account.size() > kMaxAccessField)) {
    return false;
  }
  ByteWriter w;
  EncodeEndUser(d.destination, w);
  EncodeEndUser(d.source, w);
  w.U8(d.menuver);
  if (d.access) w.Counted(d.access->user).Counted(d.access->password).Counted(d.access->account);
  if (d.menuver & menuver::kUserData) w.Counted(d.user_data);
  w.Append(d.trailer);
  out = w.Take();
  return true;
}

ConnectData MakeConnectData(const ConnectRequest& request) {
  ConnectData d;
  d.destination = request.destination;
  d.source = request.source;
  d.access = request.access;
  d.user_data = request.user_data;
  d.menuver = static_cast<uint8_t>((request.access ? menuver::kAccessControl : 0) |
                                   (request.user_data.empty() ? 0 : menuver::kUserData));
  return d;
}

}  // namespace decnet
