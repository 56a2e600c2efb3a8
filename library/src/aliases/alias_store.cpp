// Alias names in the registry store: one value per alias in the "Alias" key of the
// user's hive or of the machine hive. Translations cross the boundary as address lists
// (NUL-terminated strings ended by an empty one) in blocks of the library's memory.
#include <cstdint>
#include <cstring>
#include <string>

#include "aliases/alias_book.h"
#include "pellam.h"
#include "platform/errors.h"
#include "platform/memory.h"
#include "platform/registry.h"

namespace pellam {
namespace {

using platform::HKEY;

HKEY StoreOf(uint32_t scope) {
  return scope == ALIAS_SCOPE_USER ? platform::HKEY_CURRENT_USER : platform::HKEY_LOCAL_MACHINE;
}

// Every result of the group-B functions, success included, is the last-error value.
uint32_t Report(uint32_t code) {
  platform::SetLastError(code);
  return code;
}

// Looks the alias up in one store, in one read of its hive.
AliasLookup LookUpIn(HKEY store, const char* name, char** out, uint32_t* code) {
  uint32_t type = 0;
  std::string data;
  *code = platform::RegGetValue(store, PELLAM_ALIAS_KEY, name, &type, &data);
  const AliasLookup lookup = JudgeAlias(code, type, data);
  if (lookup != AliasLookup::Found) return lookup;
  // Two NULs after the data: a value written by hand without its terminators still
  // reads as a properly ended list.
  auto* buffer = static_cast<char*>(platform::GlobalAlloc(static_cast<uint32_t>(data.size() + 2), false));
  if (buffer == nullptr) {
    *code = platform::GetLastError();
    return AliasLookup::Failed;
  }
  std::memcpy(buffer, data.data(), data.size());
  buffer[data.size()] = '\0';
  buffer[data.size() + 1] = '\0';
  *out = buffer;
  return AliasLookup::Found;
}

// The size of an address list up to and including the NUL of its closing empty string.
uint32_t ListSize(const char* list) {
  const char* p = list;
  while (*p != '\0') p += std::strlen(p) + 1;
  return static_cast<uint32_t>(p - list + 1);
}

}  // namespace
}  // namespace pellam

using namespace pellam;

extern "C" PELLAM_API uint32_t GetAlias(const char* name, char** translation, uint32_t scope) {
  if (translation != nullptr) *translation = nullptr;
  if (scope > ALIAS_SCOPE_SYSTEM || name == nullptr || translation == nullptr) {
    return Report(ERROR_INVALID_PARAMETER);
  }
  const platform::HKEY any[] = {platform::HKEY_CURRENT_USER, platform::HKEY_LOCAL_MACHINE};
  const platform::HKEY* first = scope == ALIAS_SCOPE_SYSTEM ? any + 1 : any;
  const platform::HKEY* last = scope == ALIAS_SCOPE_USER ? any + 1 : any + 2;
  for (const platform::HKEY* store = first; store != last; ++store) {
    uint32_t code = 0;
    switch (LookUpIn(*store, name, translation, &code)) {
      case AliasLookup::Found:
        return Report(0);
      case AliasLookup::Failed:
        return Report(code);
      case AliasLookup::NotHere:
        break;
    }
  }
  return Report(ERR_NO_SUCH_ALIAS);
}

extern "C" PELLAM_API uint32_t SetAlias(const char* name, const char* translation, uint32_t scope) {
  if ((scope != ALIAS_SCOPE_USER && scope != ALIAS_SCOPE_SYSTEM) || name == nullptr) {
    return Report(ERROR_INVALID_PARAMETER);
  }
  platform::UniqueKey key;
  uint32_t code = platform::RegCreateKeyEx(StoreOf(scope), PELLAM_ALIAS_KEY, key.out());
  if (code != 0) return Report(code);
  if (translation != nullptr && translation[0] != '\0') {
    code = platform::RegSetValueEx(key.get(), name, platform::REG_MULTI_SZ,
                                   reinterpret_cast<const uint8_t*>(translation), ListSize(translation));
  } else {
    code = platform::RegDeleteValue(key.get(), name);
    if (code == ERROR_FILE_NOT_FOUND) code = ERR_NO_SUCH_ALIAS;
  }
  return Report(code);
}

extern "C" PELLAM_API uint32_t ListAllAliases(char** names, uint32_t scope) {
  if (names != nullptr) *names = nullptr;
  if ((scope != ALIAS_SCOPE_USER && scope != ALIAS_SCOPE_SYSTEM) || names == nullptr) {
    return Report(ERROR_INVALID_PARAMETER);
  }
  platform::UniqueKey key;
  uint32_t code = platform::RegOpenKeyEx(StoreOf(scope), PELLAM_ALIAS_KEY, platform::KEY_QUERY_VALUE, key.out());
  if (code == ERROR_FILE_NOT_FOUND) return Report(0);
  if (code != 0) return Report(code);
  uint32_t count = 0, longest = 0;
  code = platform::RegQueryInfoKey(key.get(), nullptr, nullptr, &count, &longest, nullptr);
  if (code != 0 && code != ERROR_MORE_DATA) return Report(code);
  if (count == 0) return Report(0);

  const uint64_t total = (uint64_t{longest} + 1) * count + 1;
  if (total > 0xFFFFFFFFu) return Report(ERROR_NOT_ENOUGH_MEMORY);
  auto* buffer = static_cast<char*>(platform::GlobalAlloc(static_cast<uint32_t>(total), false));
  if (buffer == nullptr) return Report(platform::GetLastError());
  uint32_t used = 0;
  for (uint32_t index = 0; index < count && used + 1 < total; ++index) {
    uint32_t room = static_cast<uint32_t>(total) - 1 - used;
    uint32_t size = room < longest + 1 ? room : longest + 1;
    code = platform::RegEnumValue(key.get(), index, buffer + used, &size, nullptr, nullptr, nullptr);
    if (code != 0) {
      platform::GlobalFree(buffer);
      return Report(code);
    }
    used += size + 1;
  }
  buffer[used] = '\0';
  *names = buffer;
  return Report(0);
}

extern "C" PELLAM_API uint32_t FreeAliasBuff(char* buffer) {
  if (buffer != nullptr) FreeMem(buffer);
  return 0;
}
