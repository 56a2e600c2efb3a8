// Per-user profile values of the application, read and written by section and name in
// the current user's hive under Software\<registry key>\<profile name>\<section>.
// Integers are 32-bit values, strings text values; a value that is absent or of
// another type reads as the default.
#pragma once

#include <cstdint>
#include <string>

namespace fw {

class Profile {
 public:
  Profile(std::string registry_key, std::string profile_name);

  // "Software\<registry key>\<profile name>".
  const std::string& baseKey() const { return base_key_; }

  int GetInt(const std::string& section, const std::string& entry, int default_value) const;
  std::string GetString(const std::string& section, const std::string& entry,
                        const std::string& default_value = {}) const;

  // 0 on success, or the registry's status code.
  uint32_t WriteInt(const std::string& section, const std::string& entry, int value) const;
  uint32_t WriteString(const std::string& section, const std::string& entry,
                       const std::string& value) const;

 private:
  std::string KeyOf(const std::string& section) const;
  std::string base_key_;
};

}  // namespace fw
