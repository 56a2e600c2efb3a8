// Profile values in the registry store.
#include "framework/profile.h"

#include <cstring>
#include <vector>

#include "platform/errors.h"
#include "platform/registry.h"

namespace fw {

Profile::Profile(std::string registry_key, std::string profile_name)
    : base_key_("Software\\" + registry_key + "\\" + profile_name) {}

std::string Profile::KeyOf(const std::string& section) const {
  return base_key_ + "\\" + section;
}

int Profile::GetInt(const std::string& section, const std::string& entry, int default_value) const {
  platform::UniqueKey key;
  if (platform::RegOpenKeyEx(platform::HKEY_CURRENT_USER, KeyOf(section).c_str(),
                             platform::KEY_READ, key.out()) != 0) {
    return default_value;
  }
  uint32_t type = 0;
  uint32_t value = 0;
  uint32_t size = sizeof value;
  if (platform::RegQueryValueEx(key.get(), entry.c_str(), &type, reinterpret_cast<uint8_t*>(&value),
                                &size) != 0 ||
      type != platform::REG_DWORD || size != sizeof value) {
    return default_value;
  }
  return static_cast<int>(value);
}

std::string Profile::GetString(const std::string& section, const std::string& entry,
                               const std::string& default_value) const {
  platform::UniqueKey key;
  if (platform::RegOpenKeyEx(platform::HKEY_CURRENT_USER, KeyOf(section).c_str(),
                             platform::KEY_READ, key.out()) != 0) {
    return default_value;
  }
  uint32_t type = 0;
  uint32_t size = 0;
  if (platform::RegQueryValueEx(key.get(), entry.c_str(), &type, nullptr, &size) != 0 ||
      (type != platform::REG_SZ && type != platform::REG_EXPAND_SZ)) {
    return default_value;
  }
  std::vector<uint8_t> data(size + 1, 0);
  if (platform::RegQueryValueEx(key.get(), entry.c_str(), &type, data.data(), &size) != 0) {
    return default_value;
  }
  // The text ends at its first NUL (the store always keeps one).
  return std::string(reinterpret_cast<const char*>(data.data()),
                     strnlen(reinterpret_cast<const char*>(data.data()), size));
}

uint32_t Profile::WriteInt(const std::string& section, const std::string& entry, int value) const {
  platform::UniqueKey key;
  if (uint32_t code = platform::RegCreateKeyEx(platform::HKEY_CURRENT_USER, KeyOf(section).c_str(),
                                               key.out())) {
    return code;
  }
  uint32_t data = static_cast<uint32_t>(value);
  return platform::RegSetValueEx(key.get(), entry.c_str(), platform::REG_DWORD,
                                 reinterpret_cast<const uint8_t*>(&data), sizeof data);
}

uint32_t Profile::WriteString(const std::string& section, const std::string& entry,
                              const std::string& value) const {
  platform::UniqueKey key;
  if (uint32_t code = platform::RegCreateKeyEx(platform::HKEY_CURRENT_USER, KeyOf(section).c_str(),
                                               key.out())) {
    return code;
  }
  return platform::RegSetValueEx(key.get(), entry.c_str(), platform::REG_SZ,
                                 reinterpret_cast<const uint8_t*>(value.c_str()),
                                 static_cast<uint32_t>(value.size() + 1));
}

}  // namespace fw
