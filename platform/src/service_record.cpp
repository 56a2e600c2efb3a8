// Service records in the machine hive. Values are written one by one after the key is
// created, so a record that fails half-way is removed rather than left incomplete.
#include "service_record.h"

#include <cctype>
#include <cstring>
#include <vector>

#include "platform/errors.h"
#include "platform/registry.h"

namespace platform::service {
namespace {

constexpr char kServicesKey[] = "System\\CurrentControlSet\\Services";
constexpr std::size_t kMaxNameLength = 80;

std::string KeyPath(const std::string& name) { return std::string(kServicesKey) + "\\" + name; }

// A string value; absent reads as "". Any type of string is accepted, since an
// administrator may have stored ImagePath as REG_EXPAND_SZ or REG_SZ.
uint32_t ReadString(HKEY key, const char* value, std::string* out) {
  out->clear();
  uint32_t size = 0;
  uint32_t code = RegQueryValueEx(key, value, nullptr, nullptr, &size);
  if (code == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
  if (code != ERROR_SUCCESS) return code;
  std::vector<uint8_t> data(size + 1, 0);
  uint32_t type = 0;
  code = RegQueryValueEx(key, value, &type, data.data(), &size);
  if (code != ERROR_SUCCESS) return code;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return ERROR_INVALID_DATA;
  out->assign(reinterpret_cast<const char*>(data.data()), strnlen(reinterpret_cast<const char*>(data.data()), size));
  return ERROR_SUCCESS;
}

// A number; absent reads as 0.
uint32_t ReadNumber(HKEY key, const char* value, uint32_t* out) {
  *out = 0;
  uint32_t type = 0;
  uint32_t size = sizeof *out;
  uint32_t code = RegQueryValueEx(key, value, &type, reinterpret_cast<uint8_t*>(out), &size);
  if (code == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
  if (code == ERROR_MORE_DATA) return ERROR_INVALID_DATA;
  if (code != ERROR_SUCCESS) return code;
  return type == REG_DWORD && size == sizeof *out ? ERROR_SUCCESS : ERROR_INVALID_DATA;
}

uint32_t WriteString(HKEY key, const char* value, uint32_t type, const std::string& text) {
  return RegSetValueEx(key, value, type, reinterpret_cast<const uint8_t*>(text.c_str()),
                       static_cast<uint32_t>(text.size() + 1));
}

uint32_t WriteNumber(HKEY key, const char* value, uint32_t number) {
  return RegSetValueEx(key, value, REG_DWORD, reinterpret_cast<const uint8_t*>(&number), sizeof number);
}

uint32_t WriteValues(HKEY key, const Record& record) {
  uint32_t code = WriteString(key, "ImagePath", REG_EXPAND_SZ, record.image_path);
  if (code == ERROR_SUCCESS) code = WriteString(key, "DisplayName", REG_SZ, record.display_name);
  if (code == ERROR_SUCCESS) code = WriteString(key, "ObjectName", REG_SZ, record.object_name);
  if (code == ERROR_SUCCESS) code = WriteNumber(key, "Type", record.type);
  if (code == ERROR_SUCCESS) code = WriteNumber(key, "Start", record.start);
  if (code == ERROR_SUCCESS) code = WriteNumber(key, "ErrorControl", record.error_control);
  return code;
}

}  // namespace

bool ValidName(const char* name) noexcept {
  if (name == nullptr || name[0] == '\0' || name[0] == '.') return false;
  std::size_t length = 0;
  for (const char* p = name; *p != '\0'; ++p, ++length) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (length >= kMaxNameLength) return false;
    if (!std::isalnum(c) && c != '_' && c != '-' && c != '.') return false;
  }
  return true;
}

std::string FileName(const std::string& name) {
  std::string lower(name);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

uint32_t ReadRecord(const std::string& name, Record* record) {
  *record = Record{};
  UniqueKey key;
  uint32_t code = RegOpenKeyEx(HKEY_LOCAL_MACHINE, KeyPath(name).c_str(), KEY_QUERY_VALUE, key.out());
  if (code == ERROR_FILE_NOT_FOUND) return ERROR_SERVICE_DOES_NOT_EXIST;
  if (code != ERROR_SUCCESS) return code;
  uint32_t delete_flag = 0;
  code = ReadString(key.get(), "ImagePath", &record->image_path);
  if (code == ERROR_SUCCESS) code = ReadString(key.get(), "DisplayName", &record->display_name);
  if (code == ERROR_SUCCESS) code = ReadString(key.get(), "ObjectName", &record->object_name);
  if (code == ERROR_SUCCESS) code = ReadNumber(key.get(), "Type", &record->type);
  if (code == ERROR_SUCCESS) code = ReadNumber(key.get(), "Start", &record->start);
  if (code == ERROR_SUCCESS) code = ReadNumber(key.get(), "ErrorControl", &record->error_control);
  if (code == ERROR_SUCCESS) code = ReadNumber(key.get(), "DeleteFlag", &delete_flag);
  record->delete_pending = delete_flag != 0;
  return code;
}

uint32_t CreateRecord(const std::string& name, const Record& record) {
  UniqueKey key;
  bool created = false;
  uint32_t code = RegCreateKeyEx(HKEY_LOCAL_MACHINE, KeyPath(name).c_str(), key.out(), &created);
  if (code != ERROR_SUCCESS) return code;
  if (!created) return ERROR_SERVICE_EXISTS;
  code = WriteValues(key.get(), record);
  if (code != ERROR_SUCCESS) RemoveRecord(name);
  return code;
}

uint32_t MarkForDelete(const std::string& name) {
  UniqueKey key;
  uint32_t code = RegOpenKeyEx(HKEY_LOCAL_MACHINE, KeyPath(name).c_str(), KEY_ALL_ACCESS, key.out());
  if (code == ERROR_FILE_NOT_FOUND) return ERROR_SERVICE_DOES_NOT_EXIST;
  if (code != ERROR_SUCCESS) return code;
  return WriteNumber(key.get(), "DeleteFlag", 1);
}

uint32_t RemoveRecord(const std::string& name) {
  UniqueKey services;
  uint32_t code = RegOpenKeyEx(HKEY_LOCAL_MACHINE, kServicesKey, KEY_ALL_ACCESS, services.out());
  if (code == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
  if (code != ERROR_SUCCESS) return code;
  code = RegDeleteKey(services.get(), name.c_str());
  return code == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : code;
}

}  // namespace platform::service
