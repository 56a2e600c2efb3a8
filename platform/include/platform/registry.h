// The registry store: hierarchical keys holding typed values, in the manner of the
// platform the mail system was first written for. Key and value names are compared
// without regard to (ASCII) case. Every function returns a status code (0 on success)
// and does not touch the last-error value; absent keys and values report
// ERROR_FILE_NOT_FOUND.
//
// One SQLite database per hive, opened once per process and kept for later calls (a
// few hives at most); a hive file replaced or removed meanwhile is noticed at the next
// call, and nothing is held between calls, so other processes' writes are seen at
// once. Every write is one transaction; several processes may read and write at once; a hive locked by another writer is waited for a bounded time
// (then ERROR_TIMEOUT); a damaged or unreadable hive file gives ERROR_BADDB, never a
// crash. Permissions are the hive file's: the machine hive is created 0644 (only its
// owner, root on a real system, may write), a user hive 0600 in the user's home.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/export.h"

namespace platform {

struct RegKey;
using HKEY = RegKey*;

// The three roots. HKEY_USERS\<SID> names another user's hive, where the SID string of
// an account is "S-1-22-1-" followed by its uid; HKEY_USERS itself holds no values
// (ERROR_INVALID_PARAMETER).
inline const HKEY HKEY_CURRENT_USER = reinterpret_cast<HKEY>(uintptr_t{0x80000001});
inline const HKEY HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(uintptr_t{0x80000002});
inline const HKEY HKEY_USERS = reinterpret_cast<HKEY>(uintptr_t{0x80000003});

inline constexpr uint32_t REG_NONE = 0;
inline constexpr uint32_t REG_SZ = 1;
inline constexpr uint32_t REG_EXPAND_SZ = 2;
inline constexpr uint32_t REG_BINARY = 3;
inline constexpr uint32_t REG_DWORD = 4;
inline constexpr uint32_t REG_MULTI_SZ = 7;

inline constexpr uint32_t KEY_QUERY_VALUE = 0x0001;
inline constexpr uint32_t KEY_SET_VALUE = 0x0002;
inline constexpr uint32_t KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr uint32_t KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr uint32_t KEY_READ = 0x20019;
inline constexpr uint32_t KEY_WRITE = 0x20006;
inline constexpr uint32_t KEY_ALL_ACCESS = 0xF003F;

// Opens an existing key below `key` ("" or null opens `key` itself again). The
// sub-key path separates names with "\". Access without write bits opens the hive
// read-only; a write through such a handle fails with ERROR_ACCESS_DENIED.
PLATFORM_API uint32_t RegOpenKeyEx(HKEY key, const char* sub_key, uint32_t access, HKEY* result) noexcept;

// Opens or creates a key and the keys on its way (always for reading and writing).
// `*created`, when given, tells whether the final key was new.
PLATFORM_API uint32_t RegCreateKeyEx(HKEY key, const char* sub_key, HKEY* result, bool* created = nullptr) noexcept;

PLATFORM_API uint32_t RegCloseKey(HKEY key) noexcept;

// Reads a value. `type` and `data` may be null. With `data` null, `*size` receives the
// size needed. With a buffer smaller than the value, `*size` receives the size needed
// and the result is ERROR_MORE_DATA; the buffer's contents are then undefined.
PLATFORM_API uint32_t RegQueryValueEx(HKEY key, const char* name, uint32_t* type, uint8_t* data,
                         uint32_t* size) noexcept;

// One value of a RegQueryValues call: `name` in; `type`, `data` and `size` as
// RegQueryValueEx takes them; `result` out, what RegQueryValueEx would have returned.
struct RegValueQuery {
  const char* name = nullptr;
  uint32_t* type = nullptr;
  uint8_t* data = nullptr;
  uint32_t* size = nullptr;
  uint32_t result = 0;
};

// Reads several values of one key in one go, all from one state of the hive: each
// query gets what RegQueryValueEx would have given it alone, in its `result`. Returns
// 0 when the key could be read (whatever the values' results), else the failure that
// stopped them all (a deleted key, an unreadable hive), with the results unset. A fault
// armed for fault::Op::RegRead fails one value's read, as it would fail one query.
PLATFORM_API uint32_t RegQueryValues(HKEY key, RegValueQuery* queries, uint32_t count) noexcept;

// Reads the value `name` of the key `key\sub_key` whole, in one visit to its hive: what
// RegOpenKeyEx and two RegQueryValueEx calls (size, then data) would give together.
// ERROR_FILE_NOT_FOUND when the key or the value is missing.
PLATFORM_API uint32_t RegGetValue(HKEY key, const char* sub_key, const char* name, uint32_t* type,
                                  std::string* data) noexcept;

// One value with its name, as RegGetAllValues gives it.
struct RegValue {
  std::string name;
  uint32_t type = 0;
  std::string data;
};

// Every value of the key `key\sub_key`, whole and in no particular order, in one visit
// to its hive. ERROR_FILE_NOT_FOUND when the key is missing.
PLATFORM_API uint32_t RegGetAllValues(HKEY key, const char* sub_key, std::vector<RegValue>* values) noexcept;

// Stores a value (replacing one of the same name, whatever its type). `name` null or ""
// is the key's default value. String data whose terminator is missing is stored with it
// completed (a NUL after REG_SZ and REG_EXPAND_SZ, an empty string after REG_MULTI_SZ),
// so that readers always find one.
PLATFORM_API uint32_t RegSetValueEx(HKEY key, const char* name, uint32_t type, const uint8_t* data,
                       uint32_t size) noexcept;

PLATFORM_API uint32_t RegDeleteValue(HKEY key, const char* name) noexcept;

// Deletes a key that has no sub-keys (ERROR_ACCESS_DENIED otherwise), with its values.
PLATFORM_API uint32_t RegDeleteKey(HKEY key, const char* sub_key) noexcept;

// The index-th value of the key in a stable order (by name); ERROR_NO_MORE_ITEMS past
// the end. `*name_size` is the capacity of `name` in, the name's length (without NUL)
// out; ERROR_MORE_DATA when the name or the data does not fit. `type`, `data` and
// `data_size` may be null.
PLATFORM_API uint32_t RegEnumValue(HKEY key, uint32_t index, char* name, uint32_t* name_size, uint32_t* type,
                      uint8_t* data, uint32_t* data_size) noexcept;

// The index-th sub-key's name, as RegEnumValue does for names.
PLATFORM_API uint32_t RegEnumKeyEx(HKEY key, uint32_t index, char* name, uint32_t* name_size) noexcept;

// Counts and sizes: any pointer may be null. Lengths of names are without the NUL.
PLATFORM_API uint32_t RegQueryInfoKey(HKEY key, uint32_t* sub_keys, uint32_t* max_sub_key_len, uint32_t* values,
                         uint32_t* max_value_name_len, uint32_t* max_value_len) noexcept;

// The hive file behind a root: the machine hive, the calling user's, or the hive of the
// user whose SID string is given. "" when it cannot be found (no such account).
PLATFORM_API std::string MachineHivePath();
PLATFORM_API std::string UserHivePath(uint32_t uid);
PLATFORM_API std::string CurrentUserHivePath();

// For tests: how long a call waits for a hive locked by another writer before it fails
// with ERROR_TIMEOUT (5000 ms unless set).
PLATFORM_API void SetRegistryLockTimeout(unsigned milliseconds) noexcept;

// Owns a key handle and closes it on scope exit.
class UniqueKey {
 public:
  UniqueKey() noexcept = default;
  UniqueKey(const UniqueKey&) = delete;
  UniqueKey& operator=(const UniqueKey&) = delete;
  ~UniqueKey() {
    if (key_) RegCloseKey(key_);
  }
  HKEY get() const noexcept { return key_; }
  HKEY* out() noexcept { return &key_; }
  explicit operator bool() const noexcept { return key_ != nullptr; }

 private:
  HKEY key_ = nullptr;
};

}  // namespace platform
