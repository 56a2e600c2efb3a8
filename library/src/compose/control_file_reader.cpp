// The control-file reader: a bounds-checked walk over bytes in memory. Every read
// goes through Cursor, which refuses to step past the end, so a damaged file can
// only ever produce ERR_CONTROL_FILE.
#include "compose/control_file_reader.h"

#include <cstring>
#include <limits>

#include "frame/export_barrier.h"
#include "pellam.h"
#include "platform/errors.h"
#include "platform/files.h"

namespace pellam::control {
namespace {

class Cursor {
 public:
  Cursor(const uint8_t* data, size_t size) noexcept : data_(data), size_(size) {}

  size_t position() const noexcept { return pos_; }
  size_t remaining() const noexcept { return size_ - pos_; }

  bool Take16(uint16_t* v) noexcept {
    if (remaining() < 2) return false;
    *v = static_cast<uint16_t>(data_[pos_] | (data_[pos_ + 1] << 8));
    pos_ += 2;
    return true;
  }
  bool Take32(uint32_t* v) noexcept {
    if (remaining() < 4) return false;
    *v = 0;
    for (int i = 3; i >= 0; --i) *v = (*v << 8) | data_[pos_ + static_cast<size_t>(i)];
    pos_ += 4;
    return true;
  }
  bool Take64(uint64_t* v) noexcept {
    uint32_t low = 0, high = 0;
    if (remaining() < 8 || !Take32(&low) || !Take32(&high)) return false;
    *v = (uint64_t{high} << 32) | low;
    return true;
  }
  bool TakeBytes(size_t n, const uint8_t** bytes) noexcept {
    if (remaining() < n) return false;
    *bytes = data_ + pos_;
    pos_ += n;
    return true;
  }
  // Reserved bytes: present and all zero. A non-zero byte is where the cursor stops.
  bool TakeZeros(size_t n) noexcept {
    if (remaining() < n) return false;
    for (size_t i = 0; i < n; ++i) {
      if (data_[pos_ + i] != 0) {
        pos_ += i;
        return false;
      }
    }
    pos_ += n;
    return true;
  }
  bool TakeItemHead(uint16_t type, uint16_t length) noexcept {
    const size_t start = pos_;
    uint16_t t = 0, l = 0;
    if (Take16(&t) && Take16(&l) && t == type && l == length) return true;
    pos_ = start;
    return false;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

bool DecodeLeadingItems(Cursor& c, ControlFile* f) {
  return c.TakeItemHead(kItemFirst, 2) && c.Take16(&f->first_value) && c.TakeZeros(2) &&
         c.TakeItemHead(kItemCreated, 28) && c.TakeZeros(4) && c.Take64(&f->creation_time) &&
         c.TakeZeros(16) && c.TakeItemHead(kItemOptions, 4) && c.Take32(&f->options) &&
         c.TakeItemHead(kItemHeader, 8) && c.Take32(&f->sections.header_offset) &&
         c.Take32(&f->sections.header_length) && c.TakeItemHead(kItemText, 8) &&
         c.Take32(&f->sections.text_offset) && c.Take32(&f->sections.text_length);
}

// The rest of an address record after its type, whose length field is `length`.
bool DecodeAddressRecord(Cursor& c, uint16_t length, AddressRecord* r) {
  if (length <= kAddressLengthExtra) return false;  // an address has at least one character
  const uint32_t n = length - kAddressLengthExtra;
  const uint8_t* fields = nullptr;
  const uint8_t* text = nullptr;
  if (!c.TakeZeros(16) || !c.TakeBytes(5, &fields) || !c.TakeZeros(1) || !c.TakeBytes(n, &text) ||
      !c.TakeZeros(AddressRecordSize(n) - kAddressFixedSize - n)) {  // the NUL and the padding
    return false;
  }
  if (std::memchr(text, '\0', n) != nullptr) return false;
  r->node_offset = fields[0];
  r->node_length = fields[1];
  r->user_offset = fields[2];
  r->user_length = fields[3];
  r->form = fields[4];
  // The parts must lie inside the text, so a consumer slicing by them stays in bounds.
  if (r->node_offset + r->node_length > n || r->user_offset + r->user_length > n) return false;
  if (r->form != ADDR_FORM_DECNET && r->form != ADDR_FORM_EXTERNAL) return false;
  r->text.assign(reinterpret_cast<const char*>(text), n);
  return true;
}

// The address records up to and including the end mark.
bool DecodeAddressRecords(Cursor& c, ControlFile* f) {
  for (;;) {
    uint16_t type = 0, length = 0;
    if (!c.Take16(&type) || !c.Take16(&length)) return false;  // no end mark
    if (type == kItemEnd) return length == 0;
    if (type != kItemAddress) return false;
    AddressRecord r;
    if (!DecodeAddressRecord(c, length, &r)) return false;
    f->addresses.push_back(std::move(r));
  }
}

// The header section starts right after the end mark, the text right after the
// header section, and the text ends the file.
bool SectionsFit(const Sections& s, size_t items_end, size_t size) {
  return s.header_offset == items_end &&
         uint64_t{s.text_offset} == uint64_t{s.header_offset} + s.header_length &&
         uint64_t{s.text_offset} + s.text_length == size;
}

}  // namespace

uint32_t DecodeControlFile(const uint8_t* data, size_t size, ControlFile* file, size_t* error_at) noexcept {
  *error_at = 0;
  if (data == nullptr && size > 0) return ERR_CONTROL_FILE;
  return Barrier([&]() -> uint32_t {
    Cursor c(data, size);
    ControlFile f;
    if (!DecodeLeadingItems(c, &f) || !DecodeAddressRecords(c, &f)) {
      *error_at = c.position();
      return ERR_CONTROL_FILE;
    }
    // A posted message always has at least one recipient, and its sections are where
    // items 4 and 5 say.
    if (f.addresses.empty()) {
      *error_at = c.position() - kEndMarkSize;
      return ERR_CONTROL_FILE;
    }
    if (!SectionsFit(f.sections, c.position(), size)) {
      *error_at = kSectionItemsOffset;
      return ERR_CONTROL_FILE;
    }
    *file = std::move(f);
    return 0;
  });
}

uint32_t DecodeControlFile(const uint8_t* data, size_t size, ControlFile* file) noexcept {
  size_t error_at = 0;
  return DecodeControlFile(data, size, file, &error_at);
}

uint32_t ReadControlFile(const char* path, ControlFileContents* contents) noexcept {
  platform::UniqueFile file(platform::CreateFile(path, platform::kRead, platform::kShareRead,
                                                 platform::kOpenExisting));
  if (!file) return platform::GetLastError();
  uint64_t size = 0;
  if (!platform::GetFileSize(file.get(), &size)) return platform::GetLastError();
  if (size > std::numeric_limits<uint32_t>::max()) return ERR_CONTROL_FILE;
  return Barrier([&]() -> uint32_t {
    std::string bytes(static_cast<size_t>(size), '\0');
    uint32_t total = 0;
    while (total < size) {
      uint32_t done = 0;
      if (!platform::ReadFile(file.get(), bytes.data() + total, static_cast<uint32_t>(size) - total, &done)) {
        return platform::GetLastError();
      }
      if (done == 0) break;  // the file shrank while read: decode what is there
      total += done;
    }
    bytes.resize(total);
    ControlFile items;
    const uint32_t code = DecodeControlFile(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &items);
    if (code != 0) return code;
    contents->items = std::move(items);
    contents->bytes = std::move(bytes);
    return 0;
  });
}

}  // namespace pellam::control
