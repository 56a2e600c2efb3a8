// Fuzzes the header reader: the data is collected once whole and once cut at a fuzzed
// point into two rounds, and both must agree. Every buffer is exactly the data, with no
// NUL after it, so a read past the end is caught. Checked: the stop lies within the
// data, values are NUL-terminated and made of text from the data, GetMailHeaders leaves
// all or nothing, and ExtractReceiveDate changes the record only on success.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz_check.h"
#include "pellam.h"
#include "platform/errors.h"
#include "platform/memory.h"

namespace {

const char* const kNames[] = {"Date", "From", "To", "Cc", "Subject", nullptr, "", "Received"};
constexpr int32_t kCount = 8;

struct Result {
  uint32_t status = 0;
  size_t consumed = 0;
  int32_t current = -1;
  char* values[kCount] = {};
  ~Result() { FreeMailHeaders(kCount, values); }
};

// One round over bytes [from, to) of `data`, in a block of exactly that size.
void CollectRound(const uint8_t* data, size_t from, size_t to, Result* r) {
  const size_t size = to - from;
  auto block = std::make_unique<char[]>(size);
  if (size > 0) std::memcpy(block.get(), data + from, size);
  const char* stop = nullptr;
  r->status = CollectHeaders(block.get(), static_cast<uint32_t>(size), kCount, kNames, r->values,
                             &r->current, &stop);
  FUZZ_CHECK(stop >= block.get() && stop <= block.get() + size);
  FUZZ_CHECK(r->status == 0 || r->status == ERROR_MORE_DATA || r->status == ERR_NON_HEADER_LINE);
  FUZZ_CHECK(r->current >= -1 && r->current < kCount);
  if (r->status != ERROR_MORE_DATA) FUZZ_CHECK(r->current == -1);
  if (r->status == 0) FUZZ_CHECK(stop > block.get() && stop[-1] == '\n');
  r->consumed += static_cast<size_t>(stop - block.get());
}

// Each space-separated word of a value is a copy of bytes of the data (a value may
// begin with a NUL byte of the data, so it may read as empty): folding joins
// pieces of lines with one blank and adds nothing else.
void CheckValue(const char* value, const uint8_t* data, size_t size) {
  const uint32_t block = platform::GlobalSize(value);
  FUZZ_CHECK(block > 0 && std::memchr(value, '\0', block) != nullptr);
  const size_t length = std::strlen(value);
  FUZZ_CHECK(length <= size && std::memchr(value, '\n', length) == nullptr);
  for (size_t i = 0; i < length;) {
    size_t j = i;
    while (j < length && value[j] != ' ') ++j;
    if (j > i) FUZZ_CHECK(memmem(data, size, value + i, j - i) != nullptr);
    i = j + 1;
  }
}

void CheckDate(const char* value) {
  MailDate date = {1, 2, 3, 4, 5, 6, 7, 8};
  const uint32_t status = ExtractReceiveDate(value, &date);
  FUZZ_CHECK(status == 0 || status == ERROR_INVALID_DATA);
  if (status != 0) {
    FUZZ_CHECK(date.Year == 1 && date.Month == 2 && date.DayOfWeek == 3 && date.Day == 4 &&
               date.Hour == 5 && date.Minute == 6 && date.Second == 7 && date.Milliseconds == 8);
    FUZZ_CHECK(platform::GetLastError() == ERROR_INVALID_DATA);
  } else {
    FUZZ_CHECK(std::strchr(value, ';') != nullptr && date.Milliseconds == 0);
    FUZZ_CHECK(date.Month == MAIL_DATE_UNKNOWN || (date.Month >= 1 && date.Month <= 12));
    FUZZ_CHECK(date.DayOfWeek == MAIL_DATE_UNKNOWN || date.DayOfWeek <= 6);
  }
}

bool SameValue(const char* a, const char* b) {
  return (a == nullptr && b == nullptr) || (a != nullptr && b != nullptr && std::strcmp(a, b) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t input_size) {
  if (input_size < 2) return 0;
  const uint8_t* data = input + 2;
  const size_t size = input_size - 2;
  const size_t cut = (size_t{input[0]} | size_t{input[1]} << 8) % (size + 1);

  Result whole;
  CollectRound(data, 0, size, &whole);

  Result split;
  CollectRound(data, 0, cut, &split);
  if (split.status == ERROR_MORE_DATA) CollectRound(data, split.consumed, size, &split);
  FUZZ_CHECK(split.status == whole.status && split.consumed == whole.consumed &&
             split.current == whole.current);
  for (int32_t i = 0; i < kCount; ++i) {
    FUZZ_CHECK(SameValue(split.values[i], whole.values[i]));
    if (whole.values[i] != nullptr) {
      CheckValue(whole.values[i], data, size);
      CheckDate(whole.values[i]);
    }
  }

  // GetMailHeaders over the same bytes: the same outcome, all values or none.
  auto block = std::make_unique<char[]>(size);
  if (size > 0) std::memcpy(block.get(), data, size);
  const char* text = block.get();
  auto length = static_cast<int32_t>(size);
  char* values[kCount];
  std::memset(values, 0x5A, sizeof values);  // garbage the call must clear, never free
  const uint32_t status = GetMailHeaders(&text, &length, kCount, kNames, values);
  FUZZ_CHECK(status == whole.status);
  FUZZ_CHECK(text == block.get() + whole.consumed && length == static_cast<int32_t>(size - whole.consumed));
  for (int32_t i = 0; i < kCount; ++i) {
    FUZZ_CHECK(status == 0 ? SameValue(values[i], whole.values[i]) : values[i] == nullptr);
  }
  if (status != 0) FUZZ_CHECK(platform::GetLastError() == status);
  FreeMailHeaders(kCount, values);

  // The whole input as one header value, NUL-terminated just after its first NUL.
  const auto* nul = static_cast<const uint8_t*>(std::memchr(data, 0, size));
  const std::string value(reinterpret_cast<const char*>(data), nul ? nul - data : size);
  CheckDate(value.c_str());
  return 0;
}
