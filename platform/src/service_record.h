// The service records of the registry store: one key per service below
// HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services, with the values the original
// platform keeps there, and the name rules that make a name safe as a key, a file name
// and a systemd unit name.
#pragma once

#include <cstdint>
#include <string>

namespace platform::service {

struct Record {
  std::string image_path;    // "ImagePath"
  std::string display_name;  // "DisplayName"
  std::string object_name;   // "ObjectName": the account, "LocalSystem"
  uint32_t type = 0;         // "Type"
  uint32_t start = 0;        // "Start"
  uint32_t error_control = 0;  // "ErrorControl"
  bool delete_pending = false;  // "DeleteFlag" set by a delete while the service ran
};

// 1 to 80 letters, digits, "_", "-" and "." not beginning with ".".
bool ValidName(const char* name) noexcept;

// The name in lower case: the form used for pid files and unit names, since names
// are compared without regard to case.
std::string FileName(const std::string& name);

// ERROR_SERVICE_DOES_NOT_EXIST when there is no record; absent values read as empty.
uint32_t ReadRecord(const std::string& name, Record* record);

// Creates the record; ERROR_SERVICE_EXISTS when the key is there already. A failure
// after the key was created removes it again.
uint32_t CreateRecord(const std::string& name, const Record& record);

uint32_t MarkForDelete(const std::string& name);

// Removes the record; a missing one counts as removed.
uint32_t RemoveRecord(const std::string& name);

}  // namespace platform::service
