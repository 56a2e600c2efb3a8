// Trimming and the deltas of the settings pages.
#include "settings/field_delta.h"

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <string_view>

#include "pellam.h"

namespace pelldesk {
namespace {

bool IsTrimmed(char c) { return c == ' ' || (c >= 8 && c <= 13); }

}  // namespace

std::string TrimText(const std::string& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsTrimmed(text[begin])) ++begin;
  while (end > begin && IsTrimmed(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

bool TextDelta(std::string& pageText, const char* storedValue, char* deltaField, std::size_t size) {
  pageText = TrimText(pageText);
  // The stored field is read within its size: a record need not end its fields in a NUL.
  if (pageText == std::string_view(storedValue, strnlen(storedValue, size))) return false;
  if (size == 0) return true;
  if (pageText.empty()) {
    if (size > 1) {
      deltaField[0] = PELLAM_DELETE_MARK;
      deltaField[1] = '\0';
    } else {
      deltaField[0] = '\0';
    }
    return true;
  }
  const std::size_t length = std::min(pageText.size(), size - 1);
  std::memcpy(deltaField, pageText.data(), length);
  deltaField[length] = '\0';
  return true;
}

bool NumberDelta(int32_t newValue, int32_t storedValue, int32_t* deltaField) {
  if (newValue == storedValue) {
    *deltaField = -1;
    return false;
  }
  *deltaField = newValue;
  return true;
}

std::string FieldText(const char* field, std::size_t size) {
  return std::string(field, strnlen(field, size));
}

bool SameIgnoringCase(const std::string& text, const char* field, std::size_t size) {
  return strcasecmp(text.c_str(), FieldText(field, size).c_str()) == 0;
}

}  // namespace pelldesk
