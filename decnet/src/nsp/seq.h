// NSP sequence numbers: 12 bits, modulo 4096, one space per subchannel. They wrap in
// long transfers, so they are only ever compared through SeqDiff, which reads the
// circle as the shorter way round (a difference in -2048..2047).
#pragma once

#include <cstdint>

namespace decnet {

constexpr uint16_t kSeqMask = 0x0fff;

constexpr uint16_t SeqAdd(uint16_t seq, int delta) {
  return static_cast<uint16_t>((seq + delta) & kSeqMask);
}

// a - b on the circle.
constexpr int SeqDiff(uint16_t a, uint16_t b) {
  int d = (a - b) & kSeqMask;
  return d >= 2048 ? d - 4096 : d;
}

constexpr bool SeqBefore(uint16_t a, uint16_t b) { return SeqDiff(a, b) < 0; }

}  // namespace decnet
