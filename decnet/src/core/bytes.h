// Little-endian byte reader and writer for DECnet packets. The reader never reads past
// its span: every accessor reports failure instead, and a failed reader stays failed,
// so a decoder may read a whole header and check ok() once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace decnet {

using Bytes = std::vector<uint8_t>;
using ByteSpan = std::span<const uint8_t>;

class ByteReader {
 public:
  explicit ByteReader(ByteSpan data) : data_(data) {}

  bool ok() const { return ok_; }
  size_t remaining() const { return ok_ ? data_.size() - pos_ : 0; }
  bool at_end() const { return remaining() == 0; }
  size_t position() const { return pos_; }

  uint8_t U8() {
    if (!Need(1)) return 0;
    return data_[pos_++];
  }
  uint16_t U16() {
    if (!Need(2)) return 0;
    uint16_t v = static_cast<uint16_t>(data_[pos_] | (data_[pos_ + 1] << 8));
    pos_ += 2;
    return v;
  }
  uint32_t U32() {
    if (!Need(4)) return 0;
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | data_[pos_ + static_cast<size_t>(i)];
    pos_ += 4;
    return v;
  }
  // The next n bytes; an empty span (and a failed reader) when fewer remain.
  ByteSpan Take(size_t n) {
    if (!Need(n)) return {};
    ByteSpan s = data_.subspan(pos_, n);
    pos_ += n;
    return s;
  }
  // Everything not yet read.
  ByteSpan Rest() { return Take(remaining()); }
  // A counted field (an I-field): a length byte, then that many bytes, at most max.
  ByteSpan Counted(size_t max) {
    size_t n = U8();
    if (ok_ && n > max) ok_ = false;
    return Take(n);
  }
  std::string CountedString(size_t max) {
    ByteSpan s = Counted(max);
    return std::string(s.begin(), s.end());
  }
  void Fail() { ok_ = false; }

 private:
  bool Need(size_t n) {
    if (!ok_ || data_.size() - pos_ < n) {
      ok_ = false;
      return false;
    }
    return true;
  }

  ByteSpan data_;
  size_t pos_ = 0;
  bool ok_ = true;
};

class ByteWriter {
 public:
  ByteWriter& U8(uint8_t v) {
    out_.push_back(v);
    return *this;
  }
  ByteWriter& U16(uint16_t v) {
    out_.push_back(static_cast<uint8_t>(v));
    out_.push_back(static_cast<uint8_t>(v >> 8));
    return *this;
  }
  ByteWriter& U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) out_.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return *this;
  }
  ByteWriter& Append(ByteSpan s) {
    out_.insert(out_.end(), s.begin(), s.end());
    return *this;
  }
  ByteWriter& Append(std::string_view s) {
    out_.insert(out_.end(), s.begin(), s.end());
    return *this;
  }
  // A counted field; the caller keeps it within the field's limit (255 at most).
  ByteWriter& Counted(ByteSpan s) {
    U8(static_cast<uint8_t>(s.size()));
    return Append(s);
  }
  ByteWriter& Counted(std::string_view s) {
    U8(static_cast<uint8_t>(s.size()));
    return Append(s);
  }
  size_t size() const { return out_.size(); }
  Bytes& bytes() { return out_; }
  Bytes Take() { return std::move(out_); }

 private:
  Bytes out_;
};

}  // namespace decnet
