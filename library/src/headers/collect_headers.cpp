// CollectHeaders: reads the header section of a message ("Name: value" lines, folded
// lines continuing the value above, an empty line at the end) into the caller's value
// slots. It reads only the bytes it is given, so data need not be NUL-terminated, and
// it never consumes a line whose line feed has not arrived yet.
#include <cstdint>
#include <cstring>

#include "address/fold_case.h"
#include "pellam.h"
#include "platform/errors.h"

namespace {

// Trimmed from both ends of lines and values; a line that starts with one continues
// the value above. Vertical tab and form feed are ordinary characters here.
constexpr bool IsLineBlank(char c) noexcept {
  return c == ' ' || c == '\t' || c == '\b' || c == '\r';
}

// The memory functions leave their code as the last error, but this reader reports
// through its result only: take the code and put the caller's value back.
uint32_t AllocationFailure(uint32_t callers_last_error) noexcept {
  const uint32_t code = platform::GetLastError();
  platform::SetLastError(callers_last_error);
  return code != 0 ? code : ERROR_NOT_ENOUGH_MEMORY;
}

// A new value holding the `length` bytes at `text`.
uint32_t StoreValue(char** slot, const char* text, size_t length) noexcept {
  const uint32_t last_error = platform::GetLastError();
  auto* value = static_cast<char*>(AllocMem(static_cast<uint32_t>(length + 1)));
  if (value == nullptr) return AllocationFailure(last_error);
  std::memcpy(value, text, length);
  value[length] = '\0';
  *slot = value;
  return 0;
}

// Appends one blank and the `length` bytes at `text` to the value in `*slot`. A value
// that a folded header has not started yet begins with the continuation text itself.
uint32_t ExtendValue(char** slot, const char* text, size_t length) noexcept {
  if (*slot == nullptr) return StoreValue(slot, text, length);
  const size_t old_length = std::strlen(*slot);
  const uint64_t size = uint64_t{old_length} + 1 + length + 1;
  if (size > UINT32_MAX) return ERROR_NOT_ENOUGH_MEMORY;
  const uint32_t last_error = platform::GetLastError();
  auto* value = static_cast<char*>(ReallocMem(*slot, static_cast<uint32_t>(size)));
  if (value == nullptr) return AllocationFailure(last_error);
  value[old_length] = ' ';
  std::memcpy(value + old_length + 1, text, length);
  value[old_length + 1 + length] = '\0';
  *slot = value;
  return 0;
}

// The index of the first table entry named exactly `name` (case aside), or -1.
int32_t FindHeader(const char* name, size_t length, int32_t count, const char* const* names) {
  for (int32_t i = 0; i < count; ++i) {
    if (names[i] != nullptr && pellam::SameNameNoCase(name, length, names[i])) return i;
  }
  return -1;
}

}  // namespace

extern "C" {

PELLAM_API uint32_t CollectHeaders(const char* data, uint32_t length, int32_t count,
                                   const char* const* names, char** values, int32_t* current,
                                   const char** stop) {
  if ((data == nullptr && length > 0) || current == nullptr || stop == nullptr ||
      (count > 0 && (names == nullptr || values == nullptr)) || *current < -1 ||
      (*current >= 0 && *current >= count)) {
    return ERROR_INVALID_PARAMETER;
  }
  int32_t header = *current;
  size_t pos = 0;
  while (pos < length) {
    const char* line = data + pos;
    const auto* feed = static_cast<const char*>(std::memchr(line, '\n', length - pos));
    if (feed == nullptr) break;  // an unfinished line waits for more data
    const size_t next = static_cast<size_t>(feed - data) + 1;
    const char* end = feed;
    while (end > line && IsLineBlank(end[-1])) --end;

    if (end == line) {  // the empty line that ends the section
      *current = -1;
      *stop = data + next;
      return 0;
    }
    uint32_t stored = 0;
    if (IsLineBlank(*line)) {  // a folded line
      if (header >= 0) {
        const char* text = line;
        while (IsLineBlank(*text)) ++text;
        stored = ExtendValue(&values[header], text, static_cast<size_t>(end - text));
      }
    } else {
      header = -1;
      const auto* colon =
          static_cast<const char*>(std::memchr(line, ':', static_cast<size_t>(end - line)));
      if (colon == nullptr) {
        *current = -1;
        *stop = line;
        return ERR_NON_HEADER_LINE;
      }
      const int32_t found = FindHeader(line, static_cast<size_t>(colon - line), count, names);
      // The first line of a name wins; later ones and their folds are ignored.
      if (found >= 0 && values[found] == nullptr) {
        header = found;
        const char* text = colon + 1;
        while (text < end && IsLineBlank(*text)) ++text;
        if (text < end) stored = StoreValue(&values[found], text, static_cast<size_t>(end - text));
      }
    }
    pos = next;
    if (stored != 0) {
      *current = header;
      *stop = data + pos;
      return stored;
    }
  }
  *current = header;
  *stop = data + pos;
  return ERROR_MORE_DATA;
}

}  // extern "C"
