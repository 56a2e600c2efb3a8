// Fuzzes the two link framings. Ethernet: a frame the decoder accepts encodes back to
// the same header, length and packet. Multinet: the input is a TCP stream read in
// chunks whose sizes come from the input itself; the packets that come out, each with
// its header, are exactly the stream's bytes up to where framing stopped or the caller
// gave the stream up.
#include <cstdint>
#include <algorithm>
#include <cstring>

#include "fuzz_check.h"
#include "link/ethernet_frame.h"
#include "link/multinet_framing.h"

namespace {

using namespace decnet;

void CheckEthernet(ByteSpan frame) {
  EthernetFrameView view;
  FrameCheck check = DecodeEthernetFrame(frame, &view);
  if (check != FrameCheck::kOk) return;
  FUZZ_CHECK(!view.packet.empty() && view.packet.size() + 16 <= frame.size());
  Bytes again;
  EncodeEthernetFrame(view.destination, view.source, view.packet, again);
  size_t meaningful = 16 + view.packet.size();
  FUZZ_CHECK(again.size() >= meaningful && again.size() >= kEthernetMinFrame);
  FUZZ_CHECK(std::memcmp(again.data(), frame.data(), meaningful) == 0);
}

void CheckMultinet(ByteSpan stream) {
  if (stream.empty()) return;
  size_t chunk = 1 + stream[0] % 64;
  // The top bits say after how many packets the caller gives up the stream, as a link
  // does when its observer drops the connection (0: never).
  size_t give_up_after = stream[0] >> 6, delivered = 0;
  MultinetReassembler reassembler;
  Bytes rebuilt;
  size_t fed = 0;
  bool broken = false;
  while (fed < stream.size() && !broken) {
    size_t n = std::min({chunk, stream.size() - fed, reassembler.WritableTail().size()});
    FUZZ_CHECK(n > 0);
    std::memcpy(reassembler.WritableTail().data(), stream.data() + fed, n);
    reassembler.Commit(n);
    fed += n;
    broken = !reassembler.Drain([&](ByteSpan packet) {
      FUZZ_CHECK(!packet.empty());
      uint8_t header[kMultinetHeader];
      EncodeMultinetHeader(packet.size(), header);
      rebuilt.insert(rebuilt.end(), header, header + kMultinetHeader);
      rebuilt.insert(rebuilt.end(), packet.begin(), packet.end());
      return ++delivered != give_up_after;
    });
    if (give_up_after != 0 && delivered == give_up_after) {
      reassembler.Reset();
      break;
    }
  }
  FUZZ_CHECK(rebuilt.size() <= stream.size());
  FUZZ_CHECK(rebuilt.empty() || std::memcmp(rebuilt.data(), stream.data(), rebuilt.size()) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ByteSpan input(data, size);
  CheckEthernet(input);
  CheckMultinet(input);
  return 0;
}
