// PrepareAliasAddressList: an address text as a user types it, turned into the
// address-list form in which SetAlias stores translations.
#include <cstring>

#include "pellam.h"
#include "platform/errors.h"
#include "platform/memory.h"

extern "C" PELLAM_API uint32_t PrepareAliasAddressList(const char* text, char** list) {
  if (list != nullptr) *list = nullptr;
  if (text == nullptr || list == nullptr) return platform::Fail(ERROR_INVALID_PARAMETER);
  const std::size_t length = std::strlen(text);
  if (length > 0xFFFFFFF0u) return platform::Fail(ERROR_NOT_ENOUGH_MEMORY);
  const std::size_t capacity = length + 2;
  auto* buffer = static_cast<char*>(platform::GlobalAlloc(static_cast<uint32_t>(capacity), false));
  if (buffer == nullptr) return platform::Fail(platform::GetLastError());

  std::size_t used = 0;
  const char* p = text;
  while (*p != '\0') {
    const char *start = nullptr, *end = nullptr, *next = nullptr;
    uint32_t code = ScanAddr(p, &start, &end, &next, 0);
    if (code != 0 && code != ERR_BLANK_ADDRESS) {
      platform::GlobalFree(buffer);
      return platform::Fail(code);
    }
    if (code == 0) {
      std::size_t n = static_cast<std::size_t>(end - start);
      if (used + n + 1 >= capacity) {
        platform::GlobalFree(buffer);
        return platform::Fail(ERR_API_INTERNAL);
      }
      std::memcpy(buffer + used, start, n);
      used += n;
      buffer[used++] = '\0';
    }
    if (next == p) break;  // the scanner made no progress: nothing more to take
    p = next;
  }
  buffer[used] = '\0';
  *list = buffer;
  return 0;
}
