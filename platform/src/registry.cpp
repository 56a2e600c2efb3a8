// The Reg* calls: key handles over the process's kept hive connections, the three
// roots resolved at each call, and the buffer conventions of the original platform
// (sizes in, sizes needed out, ERROR_MORE_DATA when a buffer is short).
#include "guarded.h"
#include "platform/registry.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <vector>

#include "hive_cache.h"
#include "hive_location.h"
#include "platform/accounts.h"
#include "platform/errors.h"
#include "platform/fault.h"
#include "registry_store.h"

namespace platform {

// An open key: where its hive is, which file the hive was when the key was opened,
// the key's id in it, and whether the handle may write. It holds no connection: each
// call borrows the process's, and a hive file replaced or removed since the open no
// longer holds the key (ERROR_KEY_DELETED).
struct RegKey {
  registry::HiveLocation location;
  FileId file;
  int64_t id = registry::kRootKey;
  bool writable = false;
};

namespace {

using registry::Hive;
using registry::HiveLocation;
using Handle = std::unique_ptr<RegKey>;

// Access bits that ask for writing: set value, create sub-key, create link, delete,
// write DAC, write owner.
constexpr uint32_t kWriteAccess =
    KEY_SET_VALUE | KEY_CREATE_SUB_KEY | 0x0020 | 0x00010000 | 0x00040000 | 0x00080000;

bool IsRoot(HKEY key) {
  return key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE || key == HKEY_USERS;
}

std::string_view Text(const char* text) { return text != nullptr ? text : ""; }

// Where `key\sub_key` lives: for a root, the hive it names and the path below that
// hive's root; for a handle, its hive and `sub_key` below its key. Below HKEY_USERS
// the first name is a SID string; one that names no account is a missing key.
uint32_t Locate(HKEY key, std::string_view sub_key, HiveLocation* location, int64_t* from,
                std::string_view* rest) {
  *from = registry::kRootKey;
  *rest = sub_key;
  if (key == HKEY_LOCAL_MACHINE) {
    *location = registry::MachineHive();
    return ERROR_SUCCESS;
  }
  if (key == HKEY_CURRENT_USER) return registry::UserHive(::geteuid(), location);
  if (key == HKEY_USERS) {
    while (!sub_key.empty() && sub_key.front() == '\\') sub_key.remove_prefix(1);
    size_t sep = sub_key.find('\\');
    std::string sid(sub_key.substr(0, sep));
    *rest = sep == std::string_view::npos ? std::string_view() : sub_key.substr(sep + 1);
    if (sid.empty()) return ERROR_INVALID_PARAMETER;  // HKEY_USERS itself holds no hive
    uint32_t uid = 0;
    if (!ParseSidString(sid.c_str(), &uid)) return ERROR_FILE_NOT_FOUND;
    uint32_t code = registry::UserHive(uid, location);
    return code == ERROR_NONE_MAPPED ? ERROR_FILE_NOT_FOUND : code;
  }
  *location = key->location;
  *from = key->id;
  return ERROR_SUCCESS;
}

// Runs `operation(hive, key_id)` on the key `key` names: a handle's key in the hive it
// was opened on, or a root's top key (its hive made first on a write, as the root
// always exists).
template <typename Operation>
uint32_t OnKey(HKEY key, bool write, Operation operation) {
  if (key == nullptr) return ERROR_INVALID_HANDLE;
  if (IsRoot(key)) {
    HiveLocation location;
    int64_t from = 0;
    std::string_view rest;
    if (uint32_t code = Locate(key, {}, &location, &from, &rest)) return code;
    return registry::WithHive(location, write, write, [&](Hive& hive) { return operation(hive, from); });
  }
  if (write && !key->writable) return ERROR_ACCESS_DENIED;
  bool reached = false;
  uint32_t code = registry::WithHive(key->location, write, false, [&](Hive& hive) -> uint32_t {
    reached = true;
    if (hive.file() != key->file) return ERROR_KEY_DELETED;
    return operation(hive, key->id);
  });
  // The hive file itself is gone, and the key with it.
  return code == ERROR_FILE_NOT_FOUND && !reached ? ERROR_KEY_DELETED : code;
}

// Runs `operation(hive, from, rest)` on the hive that holds `key\sub_key` (see Locate),
// whose place goes into `*location`; `create` lets a root bring its hive file into
// being. A handle whose hive file is gone or was replaced stands for a deleted key.
template <typename Operation>
uint32_t AtPath(HKEY key, std::string_view sub_key, bool write, bool create, HiveLocation* location,
                Operation operation) {
  int64_t from = 0;
  std::string_view rest;
  if (uint32_t code = Locate(key, sub_key, location, &from, &rest)) return code;
  const RegKey* parent = IsRoot(key) ? nullptr : key;
  bool reached = false;
  uint32_t code = registry::WithHive(*location, write, create && parent == nullptr, [&](Hive& hive) -> uint32_t {
    reached = true;
    if (parent != nullptr && hive.file() != parent->file) return ERROR_KEY_DELETED;
    return operation(hive, from, rest);
  });
  return code == ERROR_FILE_NOT_FOUND && !reached && parent != nullptr ? ERROR_KEY_DELETED : code;
}

// Opens or creates `key\sub_key` as a new handle. Only a root may bring its hive file
// into being: a handle's hive existed when it was opened.
uint32_t OpenKey(HKEY key, std::string_view sub_key, bool write, bool create, Handle* handle,
                 bool* created) {
  auto opened = std::make_unique<RegKey>();
  const uint32_t code = AtPath(key, sub_key, write, create, &opened->location,
                               [&](Hive& hive, int64_t from, std::string_view rest) {
                                 opened->file = hive.file();
                                 return create ? hive.CreateKey(from, rest, &opened->id, created)
                                               : hive.FindKey(from, rest, &opened->id);
                               });
  if (code != ERROR_SUCCESS) return code;
  opened->writable = write;
  *handle = std::move(opened);
  return ERROR_SUCCESS;
}

// The most a read may load for a caller's buffer: nothing without one. A value longer
// than this is only measured.
uint64_t LoadLimit(const uint8_t* data, const uint32_t* size) {
  return data == nullptr || size == nullptr ? 0 : *size;
}

// Copies a value to a caller's buffer of `*size` bytes (data null: size only).
uint32_t CopyData(const registry::Value& value, uint8_t* data, uint32_t* size) {
  const std::string& bytes = value.data;
  auto needed = static_cast<uint32_t>(std::min<uint64_t>(value.size, UINT32_MAX));
  if (size == nullptr) return ERROR_SUCCESS;
  bool fits = *size >= needed;
  *size = needed;
  if (data == nullptr) return ERROR_SUCCESS;
  if (!fits) return ERROR_MORE_DATA;
  if (bytes.size() != needed) return ERROR_BADDB;  // cannot happen: it fitted, so it was loaded
  if (needed > 0) std::memcpy(data, bytes.data(), needed);
  return ERROR_SUCCESS;
}

// Copies a name with its NUL into `name` of capacity `*size`; `*size` becomes the
// name's length without the NUL.
uint32_t CopyName(const std::string& text, char* name, uint32_t* size) {
  auto length = static_cast<uint32_t>(text.size());
  bool fits = *size > length;
  *size = length;
  if (!fits) return ERROR_MORE_DATA;
  std::memcpy(name, text.c_str(), length + 1);
  return ERROR_SUCCESS;
}

// Completes the terminator of string data so that every reader finds one: a string
// ends in a NUL, a list of strings in an empty string (two NULs, or one for an empty
// list).
void Terminate(uint32_t type, std::string* data) {
  if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ) return;
  if (data->empty() || data->back() != '\0') data->push_back('\0');
  if (type == REG_MULTI_SZ && data->size() > 1 && (*data)[data->size() - 2] != '\0') {
    data->push_back('\0');
  }
}

}  // namespace

uint32_t RegOpenKeyEx(HKEY key, const char* sub_key, uint32_t access, HKEY* result) noexcept {
  return Guarded([&]() -> uint32_t {
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    if (key == nullptr) return ERROR_INVALID_HANDLE;
    Handle opened;
    if (uint32_t code =
            OpenKey(key, Text(sub_key), (access & kWriteAccess) != 0, false, &opened, nullptr)) {
      return code;
    }
    *result = opened.release();
    return ERROR_SUCCESS;
  });
}

uint32_t RegCreateKeyEx(HKEY key, const char* sub_key, HKEY* result, bool* created) noexcept {
  return Guarded([&]() -> uint32_t {
    if (uint32_t code = fault::Check(fault::Op::RegWrite)) return code;
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    if (key == nullptr) return ERROR_INVALID_HANDLE;
    if (!IsRoot(key) && !key->writable) return ERROR_ACCESS_DENIED;
    Handle opened;
    if (uint32_t code = OpenKey(key, Text(sub_key), true, true, &opened, created)) return code;
    *result = opened.release();
    return ERROR_SUCCESS;
  });
}

uint32_t RegCloseKey(HKEY key) noexcept {
  if (key == nullptr) return ERROR_INVALID_HANDLE;
  if (!IsRoot(key)) delete key;
  return ERROR_SUCCESS;
}

uint32_t RegQueryValueEx(HKEY key, const char* name, uint32_t* type, uint8_t* data,
                         uint32_t* size) noexcept {
  return Guarded([&]() -> uint32_t {
    if (uint32_t code = fault::Check(fault::Op::RegRead)) return code;
    if (data != nullptr && size == nullptr) return ERROR_INVALID_PARAMETER;
    registry::Value value;
    uint32_t code = OnKey(key, false, [&](Hive& hive, int64_t id) {
      return hive.GetValue(id, Text(name), &value, LoadLimit(data, size));
    });
    if (code != ERROR_SUCCESS) return code;
    if (type != nullptr) *type = value.type;
    return CopyData(value, data, size);
  });
}

uint32_t RegGetValue(HKEY key, const char* sub_key, const char* name, uint32_t* type, std::string* data) noexcept {
  return Guarded([&]() -> uint32_t {
    if (uint32_t code = fault::Check(fault::Op::RegRead)) return code;
    if (data == nullptr) return ERROR_INVALID_PARAMETER;
    if (key == nullptr) return ERROR_INVALID_HANDLE;
    registry::Value value;
    HiveLocation location;
    const uint32_t code =
        AtPath(key, Text(sub_key), false, false, &location, [&](Hive& hive, int64_t from, std::string_view rest) {
          return hive.GetValueAt(from, rest, Text(name), &value);
        });
    if (code != ERROR_SUCCESS) return code;
    if (type != nullptr) *type = value.type;
    *data = std::move(value.data);
    return ERROR_SUCCESS;
  });
}

uint32_t RegGetAllValues(HKEY key, const char* sub_key, std::vector<RegValue>* values) noexcept {
  return Guarded([&]() -> uint32_t {
    if (uint32_t code = fault::Check(fault::Op::RegRead)) return code;
    if (values == nullptr) return ERROR_INVALID_PARAMETER;
    values->clear();
    if (key == nullptr) return ERROR_INVALID_HANDLE;
    HiveLocation location;
    return AtPath(key, Text(sub_key), false, false, &location, [&](Hive& hive, int64_t from, std::string_view rest) {
      return hive.GetAllValuesAt(from, rest, values);
    });
  });
}

uint32_t RegQueryValues(HKEY key, RegValueQuery* queries, uint32_t count) noexcept {
  return Guarded([&]() -> uint32_t {
    if (queries == nullptr && count != 0) return ERROR_INVALID_PARAMETER;
    uint64_t limit = 0;
    std::vector<registry::NamedValue> values(count);
    // Each value counts as a query of its own for fault injection, so that a test can
    // fail the read of any one of them.
    std::vector<uint32_t> faults(count);
    for (uint32_t i = 0; i < count; ++i) {
      const RegValueQuery& query = queries[i];
      if (query.data != nullptr && query.size == nullptr) return ERROR_INVALID_PARAMETER;
      limit = std::max(limit, LoadLimit(query.data, query.size));
      values[i].name = Text(query.name);
      faults[i] = fault::Check(fault::Op::RegRead);
    }
    uint32_t code = OnKey(key, false, [&](Hive& hive, int64_t id) {
      return hive.GetValues(id, values.data(), values.size(), limit);
    });
    if (code != ERROR_SUCCESS) return code;
    for (uint32_t i = 0; i < count; ++i) {
      RegValueQuery& query = queries[i];
      query.result = faults[i] != ERROR_SUCCESS ? faults[i] : values[i].code;
      if (query.result != ERROR_SUCCESS) continue;
      if (query.type != nullptr) *query.type = values[i].value.type;
      // Loaded for the largest buffer: one too small for it is told so, as alone.
      query.result = CopyData(values[i].value, query.data, query.size);
    }
    return ERROR_SUCCESS;
  });
}

uint32_t RegSetValueEx(HKEY key, const char* name, uint32_t type, const uint8_t* data,
                       uint32_t size) noexcept {
  return Guarded([&]() -> uint32_t {
    if (uint32_t code = fault::Check(fault::Op::RegWrite)) return code;
    if (data == nullptr && size != 0) return ERROR_INVALID_PARAMETER;
    registry::Value value;
    value.type = type;
    if (size != 0) value.data.assign(reinterpret_cast<const char*>(data), size);
    Terminate(type, &value.data);
    return OnKey(key, true, [&](Hive& hive, int64_t id) { return hive.SetValue(id, Text(name), value); });
  });
}

uint32_t RegDeleteValue(HKEY key, const char* name) noexcept {
  return Guarded([&]() -> uint32_t {
    if (uint32_t code = fault::Check(fault::Op::RegWrite)) return code;
    return OnKey(key, true, [&](Hive& hive, int64_t id) { return hive.DeleteValue(id, Text(name)); });
  });
}

uint32_t RegDeleteKey(HKEY key, const char* sub_key) noexcept {
  return Guarded([&]() -> uint32_t {
    if (uint32_t code = fault::Check(fault::Op::RegWrite)) return code;
    if (key == nullptr) return ERROR_INVALID_HANDLE;
    if (sub_key == nullptr) return ERROR_INVALID_PARAMETER;
    if (!IsRoot(key)) {
      return OnKey(key, true, [&](Hive& hive, int64_t id) { return hive.DeleteKey(id, sub_key); });
    }
    HiveLocation location;
    int64_t from = 0;
    std::string_view rest;
    if (uint32_t code = Locate(key, sub_key, &location, &from, &rest)) return code;
    return registry::WithHive(location, true, false, [&](Hive& hive) { return hive.DeleteKey(from, rest); });
  });
}

uint32_t RegEnumValue(HKEY key, uint32_t index, char* name, uint32_t* name_size, uint32_t* type,
                      uint8_t* data, uint32_t* data_size) noexcept {
  return Guarded([&]() -> uint32_t {
    if (uint32_t code = fault::Check(fault::Op::RegRead)) return code;
    if (name == nullptr || name_size == nullptr) return ERROR_INVALID_PARAMETER;
    if (data != nullptr && data_size == nullptr) return ERROR_INVALID_PARAMETER;
    std::string value_name;
    registry::Value value;
    uint32_t code = OnKey(key, false, [&](Hive& hive, int64_t id) {
      return hive.ValueAt(id, index, &value_name, &value, LoadLimit(data, data_size));
    });
    if (code != ERROR_SUCCESS) return code;
    if (type != nullptr) *type = value.type;
    uint32_t name_result = CopyName(value_name, name, name_size);
    uint32_t data_result = CopyData(value, data, data_size);
    return name_result != ERROR_SUCCESS ? name_result : data_result;
  });
}

uint32_t RegEnumKeyEx(HKEY key, uint32_t index, char* name, uint32_t* name_size) noexcept {
  return Guarded([&]() -> uint32_t {
    if (uint32_t code = fault::Check(fault::Op::RegRead)) return code;
    if (name == nullptr || name_size == nullptr) return ERROR_INVALID_PARAMETER;
    std::string sub_key;
    uint32_t code = OnKey(key, false, [&](Hive& hive, int64_t id) { return hive.SubKeyAt(id, index, &sub_key); });
    if (code != ERROR_SUCCESS) return code;
    return CopyName(sub_key, name, name_size);
  });
}

uint32_t RegQueryInfoKey(HKEY key, uint32_t* sub_keys, uint32_t* max_sub_key_len, uint32_t* values,
                         uint32_t* max_value_name_len, uint32_t* max_value_len) noexcept {
  return Guarded([&]() -> uint32_t {
    if (uint32_t code = fault::Check(fault::Op::RegRead)) return code;
    registry::KeyInfo info;
    uint32_t code = OnKey(key, false, [&](Hive& hive, int64_t id) { return hive.Info(id, &info); });
    if (code != ERROR_SUCCESS) return code;
    if (sub_keys != nullptr) *sub_keys = info.sub_keys;
    if (max_sub_key_len != nullptr) *max_sub_key_len = info.max_sub_key_len;
    if (values != nullptr) *values = info.values;
    if (max_value_name_len != nullptr) *max_value_name_len = info.max_value_name_len;
    if (max_value_len != nullptr) *max_value_len = info.max_value_len;
    return ERROR_SUCCESS;
  });
}

}  // namespace platform
