// Fuzzes session control's connect data: an accepted block must encode back to
// exactly the input, its counted fields must be within their limits, and a block
// built from the decoded request (MENUVER recomputed) must decode to the same fields.
#include <cstdint>
#include <cstring>

#include "fuzz_check.h"
#include "session/connect_data.h"
#include "session/mirror.h"

using namespace decnet;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ByteSpan wire(data, size);
  auto d = DecodeConnectData(wire);
  if (d) {
    FUZZ_CHECK(ValidEndUser(d->destination) && ValidEndUser(d->source));
    FUZZ_CHECK(d->user_data.size() <= kMaxUserData);
    if (d->access) {
      FUZZ_CHECK(d->access->user.size() <= kMaxAccessField && d->access->password.size() <= kMaxAccessField &&
                 d->access->account.size() <= kMaxAccessField);
    }
    Bytes again;
    FUZZ_CHECK(EncodeConnectData(*d, again));
    FUZZ_CHECK(again.size() == size && std::memcmp(again.data(), data, size) == 0);

    ConnectRequest request;
    request.destination = d->destination;
    request.source = d->source;
    request.access = d->access;
    request.user_data = d->user_data;
    Bytes built;
    FUZZ_CHECK(EncodeConnectData(MakeConnectData(request), built));
    auto back = DecodeConnectData(built);
    FUZZ_CHECK(back && back->source.name == d->source.name && back->destination.name == d->destination.name &&
               back->user_data == d->user_data && back->access.has_value() == d->access.has_value());
  }
  Message request(data, data + std::min<size_t>(size, 64));
  Message answer = MirrorServer::Answer(request);
  FUZZ_CHECK(answer.size() == (request.empty() || request[0] != 0 ? 1 : request.size()));
  return 0;
}
