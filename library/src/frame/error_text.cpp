// GetErrorText: the platform's own text, then the catalogue, then a numbered
// fallback, then a constant that needs no buffer at all. The first step whose text
// fits the buffer wins.
#include <cstdio>
#include <cstring>

#include "frame/catalogue.h"
#include "frame/status.h"
#include "pellam.h"
#include "platform/errors.h"

namespace {

constexpr char kBroken[] = "ERROR REPORTING IS HORRIBLY BROKEN\r\n";

// Copies `text` into the buffer when it fits with its NUL.
bool CopyWhole(const char* text, char* buffer, uint32_t size) {
  size_t n = std::strlen(text);
  if (n == 0 || n >= size) return false;
  std::memcpy(buffer, text, n + 1);
  return true;
}

// Copies `text` with %1 to %99 replaced by the strings of `arguments` (a null string
// counts as empty); other percent signs stay. False when the result does not fit.
bool CopyWithInserts(const char* text, const char* const* arguments, char* buffer, uint32_t size) {
  size_t used = 0;
  auto put = [&](const char* s, size_t n) {
    if (used + n >= size) return false;
    std::memcpy(buffer + used, s, n);
    used += n;
    return true;
  };
  for (const char* p = text; *p != '\0';) {
    if (p[0] == '%' && p[1] >= '1' && p[1] <= '9') {
      unsigned index = static_cast<unsigned>(p[1] - '0');
      p += 2;
      if (*p >= '0' && *p <= '9') index = index * 10 + static_cast<unsigned>(*p++ - '0');
      const char* arg = arguments[index - 1];
      if (arg != nullptr && !put(arg, std::strlen(arg))) return false;
      continue;
    }
    if (!put(p, 1)) return false;
    ++p;
  }
  if (used == 0) return false;
  buffer[used] = '\0';
  return true;
}

}  // namespace

extern "C" PELLAM_API const char* GetErrorText(uint32_t code, char* buffer, uint32_t size,
                                               const char* const* arguments) {
  if (buffer != nullptr && size > 0) {
    // 1. The platform's own message table.
    if (const char* text = platform::SystemMessage(code); text && CopyWhole(text, buffer, size)) {
      return buffer;
    }
    // 2. The catalogue; inserts only for the library's and the service's facilities.
    const uint32_t facility = pellam::Facility(code);
    if (const char* text = pellam::CatalogueText(code)) {
      const bool inserts =
          arguments != nullptr && (facility == pellam::kLibraryFacility || facility == pellam::kServiceFacility);
      if (inserts ? CopyWithInserts(text, arguments, buffer, size) : CopyWhole(text, buffer, size)) {
        return buffer;
      }
    }
    // 3. A fallback that at least names the code.
    int n = facility == pellam::kLibraryFacility
                ? std::snprintf(buffer, size, "Unknown Pellam error code %u (sev=%u,id=%u)\r\n", code,
                                code >> 30, code & 0xFFFF)
                : std::snprintf(buffer, size, "Unknown error code %u (sev=%u,fac=%u,id=%u)\r\n", code,
                                code >> 30, facility, code & 0xFFFF);
    if (n > 0 && static_cast<uint32_t>(n) < size) return buffer;
    // 4. Nothing fitted.
    buffer[0] = '\0';
  }
  return kBroken;
}
