// Comma-separated decimal numbers.
#include "app/number_list.h"

#include <cctype>

namespace pelldesk {

int ScanNumbers(const char* text, int32_t* values, int count, const char** end) {
  const char* p = text;
  const char* after_last = text;
  int read = 0;
  while (read < count) {
    const char* q = p;
    if (read > 0) {
      if (*q != ',') break;
      ++q;
    }
    while (std::isspace(static_cast<unsigned char>(*q))) ++q;
    bool negative = false;
    if (*q == '+' || *q == '-') negative = *q++ == '-';
    if (!std::isdigit(static_cast<unsigned char>(*q))) break;
    uint32_t value = 0;  // unsigned, so that overflow wraps instead of being undefined
    while (std::isdigit(static_cast<unsigned char>(*q))) {
      value = value * 10u + static_cast<uint32_t>(*q++ - '0');
    }
    if (negative) value = 0u - value;
    values[read++] = static_cast<int32_t>(value);
    p = after_last = q;
  }
  if (end != nullptr) *end = after_last;
  return read;
}

}  // namespace pelldesk
