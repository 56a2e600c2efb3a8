// Multinet over TCP frames each routing packet with four bytes: its length (two bytes,
// little-endian) and two zero bytes. The reassembler takes the stream as read() gives
// it, in its own fixed buffer, and hands out whole packets without copying them.
#pragma once

#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "core/bytes.h"

namespace decnet {

inline constexpr size_t kMultinetHeader = 4;
inline constexpr size_t kMultinetMaxPacket = 0xffff;

inline void EncodeMultinetHeader(size_t packet_size, uint8_t header[kMultinetHeader]) {
  header[0] = static_cast<uint8_t>(packet_size & 0xff);
  header[1] = static_cast<uint8_t>((packet_size >> 8) & 0xff);
  header[2] = 0;
  header[3] = 0;
}

class MultinetReassembler {
 public:
  MultinetReassembler() : buffer_(kMultinetHeader + kMultinetMaxPacket) {}

  // Where the next read goes, and how much was read into it.
  std::span<uint8_t> WritableTail() { return std::span<uint8_t>(buffer_).subspan(filled_); }
  void Commit(size_t n) { filled_ += n; }

  // Calls on_packet(ByteSpan) for every whole packet received so far, in order.
  // on_packet returns false when the caller gave up the stream (it dropped the
  // connection and reset, or will reset, the reassembler): Drain then stops at once
  // and touches nothing more. Drain returns false when the stream cannot be framed any
  // more (a header with non-zero reserved bytes or a zero length): the caller drops
  // the connection, since nothing after it can be trusted.
  template <typename OnPacket>
  bool Drain(OnPacket&& on_packet) {
    size_t pos = 0;
    while (filled_ - pos >= kMultinetHeader) {
      const uint8_t* h = buffer_.data() + pos;
      size_t length = h[0] | (h[1] << 8);
      if (length == 0 || h[2] != 0 || h[3] != 0) {
        filled_ = 0;
        return false;
      }
      if (filled_ - pos - kMultinetHeader < length) break;
      pos += kMultinetHeader + length;
      if (!on_packet(ByteSpan(h + kMultinetHeader, length))) return true;
    }
    if (pos > 0) {
      std::copy(buffer_.begin() + static_cast<std::ptrdiff_t>(pos),
                buffer_.begin() + static_cast<std::ptrdiff_t>(filled_), buffer_.begin());
      filled_ -= pos;
    }
    return true;
  }
  void Reset() { filled_ = 0; }

 private:
  std::vector<uint8_t> buffer_;  // one header and the largest packet always fit
  size_t filled_ = 0;
};

}  // namespace decnet
