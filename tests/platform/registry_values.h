// Small helpers of the registry tests: setting values from std::string and reading a
// whole value back with its type, as callers of the store do.
#pragma once

#include <cstdint>
#include <string>

#include "platform/registry.h"

namespace pellam::test {

inline uint32_t SetValue(platform::HKEY key, const char* name, uint32_t type,
                         const std::string& data) {
  return platform::RegSetValueEx(key, name, type, reinterpret_cast<const uint8_t*>(data.data()),
                                 static_cast<uint32_t>(data.size()));
}

// A REG_SZ with its terminating NUL.
inline uint32_t SetString(platform::HKEY key, const char* name, const std::string& text) {
  return SetValue(key, name, platform::REG_SZ, std::string(text.c_str(), text.size() + 1));
}

inline uint32_t SetNumber(platform::HKEY key, const char* name, uint32_t number) {
  return SetValue(key, name, platform::REG_DWORD,
                  std::string(reinterpret_cast<const char*>(&number), sizeof number));
}

struct ValueRead {
  uint32_t code = 0;
  uint32_t type = 0;
  std::string data;  // as stored, terminators included
  std::string text() const { return data.substr(0, data.find('\0')); }
};

// The whole value: asks for its size first, then reads it.
inline ValueRead QueryValue(platform::HKEY key, const char* name) {
  ValueRead r;
  uint32_t size = 0;
  r.code = platform::RegQueryValueEx(key, name, &r.type, nullptr, &size);
  if (r.code != 0) return r;
  r.data.resize(size);
  r.code = platform::RegQueryValueEx(key, name, &r.type, reinterpret_cast<uint8_t*>(r.data.data()),
                                     &size);
  r.data.resize(size);
  return r;
}

// The value `name` of `root\path` opened for reading; on success `data` holds it.
inline ValueRead QueryValueAt(platform::HKEY root, const char* path, const char* name) {
  platform::UniqueKey key;
  ValueRead r;
  r.code = platform::RegOpenKeyEx(root, path, platform::KEY_READ, key.out());
  return r.code != 0 ? r : QueryValue(key.get(), name);
}

}  // namespace pellam::test
