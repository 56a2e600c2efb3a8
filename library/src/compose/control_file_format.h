// The control file: the contract with the Pellam service, byte for byte. Items of a
// 2-byte type, a 2-byte length, the value and zeros to the next multiple of 4, all
// numbers little-endian; an end mark; then the header section and the text. The
// writer (composition) and the reader share these encoders, so the two cannot drift.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pellam::control {

inline constexpr uint16_t kItemEnd = 0;
inline constexpr uint16_t kItemFirst = 1;    // a 16-bit value the service interprets
inline constexpr uint16_t kItemCreated = 2;  // creation time as a FILETIME
inline constexpr uint16_t kItemOptions = 3;  // the option word of CreateMailMessage
inline constexpr uint16_t kItemHeader = 4;   // header offset and length
inline constexpr uint16_t kItemText = 5;     // text offset and length
inline constexpr uint16_t kItemAddress = 6;  // one recipient

inline constexpr uint32_t kLeadingSize = 72;         // items 1 to 5
inline constexpr uint32_t kSectionItemsOffset = 48;  // items 4 and 5, rewritten at posting
inline constexpr uint32_t kSectionItemsSize = 24;
inline constexpr uint32_t kEndMarkSize = 4;
inline constexpr uint32_t kAddressFixedSize = 26;  // record bytes before the address text
// The record's length field counts everything after itself but the padding: n + 23.
inline constexpr uint32_t kAddressLengthExtra = 23;
// An address text longer than this cannot be described by the 16-bit length field.
inline constexpr uint32_t kMaxAddressText = 0xFFFF - kAddressLengthExtra;
// The largest control file the composition calls write and the service accepts. The
// service holds a control file in memory while it works on it (so that the poster
// cannot change it between the service's checks and its deliveries); one bound on
// both sides means a message either is refused when it is posted, with
// ERR_TEXT_TOO_LARGE or ERR_HEADER_TOO_LARGE, or is one the service can deliver.
inline constexpr uint32_t kMaxControlFileSize = 64u << 20;

// One address record: the five byte-wide values of the address parser and the text.
struct AddressRecord {
  uint8_t node_offset = 0;
  uint8_t node_length = 0;
  uint8_t user_offset = 0;
  uint8_t user_length = 0;
  uint8_t form = 0;
  std::string text;  // as scanned: no NUL inside, at least one character
};

// Where the two raw sections lie in the file.
struct Sections {
  uint32_t header_offset = 0;
  uint32_t header_length = 0;
  uint32_t text_offset = 0;
  uint32_t text_length = 0;
};

// Everything the items of a control file say.
struct ControlFile {
  uint16_t first_value = 0;     // item 1; the library writes 0
  uint64_t creation_time = 0;   // 100-nanosecond units since 1 January 1601, UTC
  uint32_t options = 0;         // item 3; the library writes bit 0 only
  Sections sections;
  std::vector<AddressRecord> addresses;
};

// The current system time as a FILETIME.
uint64_t CurrentFileTime() noexcept;

// Items 1 to 5 as CreateMailMessage writes them, with both sections still zero.
std::array<uint8_t, kLeadingSize> EncodeLeadingItems(uint16_t first_value, uint64_t creation_time,
                                                     uint32_t options) noexcept;

// Items 4 and 5 (24 bytes) as PostMailMessage writes them at offset 48.
std::array<uint8_t, kSectionItemsSize> EncodeSectionItems(const Sections& sections) noexcept;

// The size of the record for an address text of `length` characters.
constexpr uint32_t AddressRecordSize(uint32_t length) noexcept {
  return (kAddressFixedSize + length + 1 + 3) & ~uint32_t{3};
}

// Appends the record to `out`. The text must be 1 to kMaxAddressText characters with
// no NUL among them; false (nothing appended) otherwise.
bool AppendAddressRecord(const AddressRecord& record, std::string* out);

// The end mark that closes the items.
inline constexpr std::array<uint8_t, kEndMarkSize> kEndMark = {0, 0, 0, 0};

// A whole control file from its items and its two sections; the section offsets of
// `file` are ignored and recomputed from the layout. Records that
// AppendAddressRecord refuses are left out.
std::string EncodeControlFile(const ControlFile& file, std::string_view header, std::string_view text);

}  // namespace pellam::control
