// Session control's part of a connect initiate: destination and source end users
// (formats 0, 1 and 2), the MENUVER byte, optional access control and optional user
// data. Decoding keeps MENUVER and any bytes after the last field as they were, so an
// accepted block encodes back to the same bytes; encoding refuses fields past limits.
#pragma once

#include <optional>

#include "core/bytes.h"
#include "decnet/endpoint.h"

namespace decnet {

constexpr size_t kMaxEndUserName = 16;
constexpr size_t kMaxAccessField = 39;
constexpr size_t kMaxUserData = 16;

namespace menuver {
constexpr uint8_t kAccessControl = 0x01, kUserData = 0x02;
}

struct ConnectData {
  EndUser destination;
  EndUser source;
  uint8_t menuver = 0;
  std::optional<AccessControl> access;  // present exactly when MENUVER bit 0 is set
  Message user_data;                    // carried when MENUVER bit 1 is set
  Bytes trailer;                        // anything after the fields (kept, not used)
};

std::optional<ConnectData> DecodeConnectData(ByteSpan wire);
// False (and `out` not to be used) when a field is beyond its limit or an end user is
// not well formed (format 0 with object 0, formats 1 and 2 without a name).
bool EncodeConnectData(const ConnectData& data, Bytes& out);

// The block for a new outgoing connect: MENUVER says only what is present.
ConnectData MakeConnectData(const ConnectRequest& request);

bool ValidEndUser(const EndUser& user);

}  // namespace decnet
