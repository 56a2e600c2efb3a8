// The registry value conventions of the profiles: values fetched in one query of the
// store, then read one by one as a single query would have given them.
#include "profiles/registry_values.h"

#include <cstring>

#include "pellam.h"
#include "platform/errors.h"
#include "platform/paths.h"

namespace pellam {

uint32_t ResolvePath(const char* path, char* out) {
  uint32_t n = platform::GetFullPathName(path, PELLAM_MAX_PATH, out);
  if (n == 0) {
    uint32_t code = platform::GetLastError();
    return code != 0 ? code : ERROR_INVALID_PARAMETER;
  }
  if (n >= PELLAM_MAX_PATH) return ERROR_BUFFER_OVERFLOW;
  return 0;
}

uint32_t FetchValues(HKEY key, FetchedValue* values, uint32_t count) {
  constexpr uint32_t kMostValues = 16;  // the larger profile has eleven
  if (count > kMostValues) return ERROR_INVALID_PARAMETER;
  platform::RegValueQuery queries[kMostValues];
  for (uint32_t i = 0; i < count; ++i) {
    FetchedValue& v = values[i];
    v.size = sizeof v.data;
    queries[i].name = v.name;
    queries[i].type = &v.type;
    queries[i].data = v.data;
    queries[i].size = &v.size;
  }
  if (uint32_t code = platform::RegQueryValues(key, queries, count)) return code;
  for (uint32_t i = 0; i < count; ++i) values[i].code = queries[i].result;
  return 0;
}

namespace {

// What RegQueryValueEx would have given for a buffer of `*size` bytes (at most the
// fetched one): the result, with the data copied and `*size` the size stored.
uint32_t QueryFetched(const FetchedValue& value, uint32_t* type, uint8_t* buffer, uint32_t* size) {
  if (value.code != 0 && value.code != ERROR_MORE_DATA) return value.code;
  *type = value.type;
  const bool fits = value.code == 0 && value.size <= *size;
  *size = value.size;
  if (!fits) return ERROR_MORE_DATA;
  std::memcpy(buffer, value.data, value.size);
  return 0;
}

}  // namespace

uint32_t ReadRegString(const FetchedValue& value, char* buffer, uint32_t size) {
  if (size == 0) return ERROR_INSUFFICIENT_BUFFER;
  uint32_t type = 0;
  uint32_t got = size;
  uint32_t code = QueryFetched(value, &type, reinterpret_cast<uint8_t*>(buffer), &got);
  if (code == 0) {
    // A stored string need not carry its NUL: terminate it here, and treat one that
    // fills the buffer without a NUL as too long rather than read past it.
    if (got < size) {
      buffer[got] = '\0';
    } else if (buffer[size - 1] != '\0') {
      code = ERROR_MORE_DATA;
    }
  }
  if (code != 0) {
    buffer[0] = '\0';
    if (code == ERROR_FILE_NOT_FOUND) return 0;
    if (code == ERROR_MORE_DATA) return ERROR_INSUFFICIENT_BUFFER;
    return code;
  }
  if (type != platform::REG_SZ) {
    buffer[0] = '\0';
    return ERROR_INVALID_DATA;
  }
  return 0;
}

uint32_t ReadRegPath(const FetchedValue& value, char* path) {
  char work[PELLAM_MAX_PATH - 1];
  uint32_t code = ReadRegString(value, work, sizeof work);
  if (code != 0 || work[0] == '\0') return code;
  char with_separator[PELLAM_MAX_PATH];
  std::size_t n = std::strlen(work);
  std::memcpy(with_separator, work, n);
  with_separator[n] = '/';
  with_separator[n + 1] = '\0';
  char resolved[PELLAM_MAX_PATH];
  code = ResolvePath(with_separator, resolved);
  if (code != 0) return code;
  std::memcpy(path, resolved, std::strlen(resolved) + 1);
  return 0;
}

uint32_t ReadRegNumber(const FetchedValue& value, uint32_t* number, uint32_t fallback) {
  *number = fallback;
  uint32_t type = 0;
  uint32_t data = 0;
  uint32_t size = sizeof data;
  uint32_t code = QueryFetched(value, &type, reinterpret_cast<uint8_t*>(&data), &size);
  if (code == ERROR_FILE_NOT_FOUND) return 0;
  if (code != 0 || type != platform::REG_DWORD || size != sizeof data) return ERROR_INVALID_DATA;
  *number = data;
  return 0;
}

uint32_t ReadRegBoundedNumber(const FetchedValue& value, uint32_t* number, uint32_t fallback,
                              uint32_t minimum) {
  uint32_t read = 0;
  uint32_t code = ReadRegNumber(value, &read, fallback);
  if (code != 0) return code;
  if (read > 0x7FFFFFFFU) read = 0x7FFFFFFFU;
  *number = static_cast<int32_t>(read) < static_cast<int32_t>(minimum) ? minimum : read;
  return 0;
}

uint32_t WriteRegString(HKEY key, const char* name, const char* text) {
  if (text[0] == PELLAM_DELETE_MARK) {
    uint32_t code = platform::RegDeleteValue(key, name);
    return code == ERROR_FILE_NOT_FOUND ? 0 : code;
  }
  return platform::RegSetValueEx(key, name, platform::REG_SZ, reinterpret_cast<const uint8_t*>(text),
                                 static_cast<uint32_t>(std::strlen(text) + 1));
}

uint32_t WriteRegPath(HKEY key, const char* name, const char* text) {
  if (text[0] == PELLAM_DELETE_MARK) return WriteRegString(key, name, text);
  char resolved[PELLAM_MAX_PATH];
  uint32_t code = ResolvePath(text, resolved);
  if (code != 0) return code;
  return WriteRegString(key, name, resolved);
}

uint32_t WriteRegNumber(HKEY key, const char* name, uint32_t value) {
  return platform::RegSetValueEx(key, name, platform::REG_DWORD,
                                 reinterpret_cast<const uint8_t*>(&value), sizeof value);
}

}  // namespace pellam
