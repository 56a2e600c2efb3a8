// Encoders of the control file's items, shared by the writer and by the reader's
// re-encoding check.
#include "compose/control_file_format.h"

#include <chrono>
#include <cstring>

namespace pellam::control {
namespace {

// FILETIME counts from 1601; the Unix epoch is this many 100-nanosecond units later.
constexpr uint64_t kUnixEpochAsFileTime = 116444736000000000ULL;

void Put16(uint8_t* p, uint16_t v) noexcept {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void Put32(uint8_t* p, uint32_t v) noexcept {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void Put64(uint8_t* p, uint64_t v) noexcept {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void PutItemHead(uint8_t* p, uint16_t type, uint16_t length) noexcept {
  Put16(p, type);
  Put16(p + 2, length);
}

}  // namespace

uint64_t CurrentFileTime() noexcept {
  using namespace std::chrono;
  const auto since_epoch = system_clock::now().time_since_epoch();
  const auto units = duration_cast<duration<int64_t, std::ratio<1, 10000000>>>(since_epoch).count();
  return kUnixEpochAsFileTime + static_cast<uint64_t>(units);
}

std::array<uint8_t, kLeadingSize> EncodeLeadingItems(uint16_t first_value, uint64_t creation_time,
                                                     uint32_t options) noexcept {
  std::array<uint8_t, kLeadingSize> b{};
  PutItemHead(&b[0], kItemFirst, 2);
  Put16(&b[4], first_value);
  PutItemHead(&b[8], kItemCreated, 28);
  Put64(&b[16], creation_time);
  PutItemHead(&b[40], kItemOptions, 4);
  Put32(&b[44], options);
  const auto sections = EncodeSectionItems(Sections{});
  std::memcpy(&b[kSectionItemsOffset], sections.data(), sections.size());
  return b;
}

std::array<uint8_t, kSectionItemsSize> EncodeSectionItems(const Sections& s) noexcept {
  std::array<uint8_t, kSectionItemsSize> b{};
  PutItemHead(&b[0], kItemHeader, 8);
  Put32(&b[4], s.header_offset);
  Put32(&b[8], s.header_length);
  PutItemHead(&b[12], kItemText, 8);
  Put32(&b[16], s.text_offset);
  Put32(&b[20], s.text_length);
  return b;
}

bool AppendAddressRecord(const AddressRecord& r, std::string* out) {
  const size_t n = r.text.size();
  if (n == 0 || n > kMaxAddressText || r.text.find('\0') != std::string::npos) return false;
  const auto length = static_cast<uint32_t>(n);
  std::string record(AddressRecordSize(length), '\0');
  auto* b = reinterpret_cast<uint8_t*>(record.data());
  PutItemHead(b, kItemAddress, static_cast<uint16_t>(length + kAddressLengthExtra));
  b[20] = r.node_offset;
  b[21] = r.node_length;
  b[22] = r.user_offset;
  b[23] = r.user_length;
  b[24] = r.form;
  std::memcpy(b + kAddressFixedSize, r.text.data(), n);
  out->append(record);
  return true;
}

std::string EncodeControlFile(const ControlFile& file, std::string_view header, std::string_view text) {
  const auto leading = EncodeLeadingItems(file.first_value, file.creation_time, file.options);
  std::string out(reinterpret_cast<const char*>(leading.data()), leading.size());
  for (const AddressRecord& r : file.addresses) AppendAddressRecord(r, &out);
  out.append(reinterpret_cast<const char*>(kEndMark.data()), kEndMark.size());
  Sections s;
  s.header_offset = static_cast<uint32_t>(out.size());
  s.header_length = static_cast<uint32_t>(header.size());
  s.text_offset = s.header_offset + s.header_length;
  s.text_length = static_cast<uint32_t>(text.size());
  const auto sections = EncodeSectionItems(s);
  out.replace(kSectionItemsOffset, sections.size(), reinterpret_cast<const char*>(sections.data()),
              sections.size());
  out.append(header);
  out.append(text);
  return out;
}

}  // namespace pellam::control
