// The registry store within one process: types, names ignoring case, missing keys and
// values, buffer sizes, enumeration, deletion, handles, roots, damaged hives and faults.
#include "platform/registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "platform/errors.h"
#include "platform/fault.h"
#include "registry_values.h"
#include "sandbox.h"

namespace {

using pellam::test::QueryValue;
using pellam::test::Sandbox;
using pellam::test::SetString;
using pellam::test::ValueRead;
using platform::HKEY;
using platform::HKEY_CURRENT_USER;
using platform::HKEY_LOCAL_MACHINE;
using platform::HKEY_USERS;
using platform::UniqueKey;
using platform::fault::Op;

class Registry : public ::testing::Test {
 protected:
  void SetUp() override { sandbox_.AddCurrentUser("tester", "Test User"); }

  // Opens or makes a key below the current user's hive.
  static void Create(const char* path, UniqueKey* key) {
    EXPECT_EQ(platform::RegCreateKeyEx(HKEY_CURRENT_USER, path, key->out()), 0u) << path;
  }

  Sandbox sandbox_;
  platform::fault::Scope faults_;
};

TEST_F(Registry, EveryTypeRoundTripsThroughANewConnection) {
  struct Row {
    const char* name;
    uint32_t type;
    std::string data;
  };
  const Row rows[] = {
      {"Queue", platform::REG_SZ, std::string("/var/spool/pellam/queue/\0", 25)},
      {"Expand", platform::REG_EXPAND_SZ, std::string("%HOME%/mail/\0", 13)},
      {"Blob", platform::REG_BINARY, std::string("\0\x01\xFF\x7F\0", 5)},
      {"EmptyBlob", platform::REG_BINARY, std::string()},
      {"Number", platform::REG_DWORD, std::string("\xFF\xFF\xFF\xFF", 4)},
      {"Zero", platform::REG_DWORD, std::string("\0\0\0\0", 4)},
      {"List", platform::REG_MULTI_SZ, std::string("ann\0bob\0\0", 9)},
      {"Latin1", platform::REG_SZ, std::string("J\xF6rg M\xFCller\0", 12)},
  };
  {
    UniqueKey key;
    Create("Software\\Corwent\\Pellam", &key);
    for (const Row& row : rows)
      ASSERT_EQ(pellam::test::SetValue(key.get(), row.name, row.type, row.data), 0u) << row.name;
  }
  UniqueKey key;
  ASSERT_EQ(platform::RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Corwent\\Pellam",
                                   platform::KEY_READ, key.out()),
            0u);
  for (const Row& row : rows) {
    ValueRead r = QueryValue(key.get(), row.name);
    EXPECT_EQ(r.code, 0u) << row.name;
    EXPECT_EQ(r.type, row.type) << row.name;
    EXPECT_EQ(r.data, row.data) << row.name;
  }
}

TEST_F(Registry, StringsStoredWithoutTheirNulGetOne) {
  UniqueKey key;
  Create("Strings", &key);
  struct Row {
    uint32_t type;
    std::string given;
    std::string stored;
  };
  const Row rows[] = {
      {platform::REG_SZ, "abc", std::string("abc\0", 4)},
      {platform::REG_SZ, "", std::string("\0", 1)},
      {platform::REG_EXPAND_SZ, "%X%", std::string("%X%\0", 4)},
      {platform::REG_MULTI_SZ, std::string("a\0b\0", 4), std::string("a\0b\0\0", 5)},
      {platform::REG_MULTI_SZ, std::string("a\0b", 3), std::string("a\0b\0\0", 5)},
      {platform::REG_MULTI_SZ, std::string("a\0\0", 3), std::string("a\0\0", 3)},
      {platform::REG_MULTI_SZ, "", std::string("\0", 1)},  // the empty list
      {platform::REG_BINARY, "abc", "abc"},                // not a string: stored as given
  };
  for (const Row& row : rows) {
    ASSERT_EQ(pellam::test::SetValue(key.get(), "v", row.type, row.given), 0u);
    ValueRead r = QueryValue(key.get(), "v");
    EXPECT_EQ(r.data, row.stored) << "type " << row.type << " given \"" << row.given << '"';
  }
  EXPECT_EQ(platform::RegSetValueEx(key.get(), "v", platform::REG_BINARY, nullptr, 4),
            ERROR_INVALID_PARAMETER);
}

TEST_F(Registry, KeyAndValueNamesIgnoreCase) {
  UniqueKey key;
  Create("Software\\Corwent\\Pellam", &key);
  ASSERT_EQ(SetString(key.get(), "FullName", "Test User"), 0u);

  UniqueKey other;
  ASSERT_EQ(platform::RegOpenKeyEx(HKEY_CURRENT_USER, "SOFTWARE\\corwent\\PELLAM",
                                   platform::KEY_READ, other.out()),
            0u);
  ValueRead r = QueryValue(other.get(), "fullNAME");
  EXPECT_EQ(r.code, 0u);
  EXPECT_EQ(r.data, std::string("Test User\0", 10));

  // Empty names of a path are skipped.
  UniqueKey same;
  EXPECT_EQ(platform::RegOpenKeyEx(HKEY_CURRENT_USER, "\\Software\\\\Corwent\\pellam\\",
                                   platform::KEY_READ, same.out()),
            0u);

  bool created = true;
  UniqueKey again;
  ASSERT_EQ(platform::RegCreateKeyEx(HKEY_CURRENT_USER, "software\\CORWENT\\Pellam", again.out(),
                                     &created),
            0u);
  EXPECT_FALSE(created);

  // Setting under another spelling replaces the value and keeps the first spelling.
  ASSERT_EQ(SetString(again.get(), "FULLNAME", "Someone Else"), 0u);
  uint32_t values = 0;
  ASSERT_EQ(platform::RegQueryInfoKey(key.get(), nullptr, nullptr, &values, nullptr, nullptr), 0u);
  EXPECT_EQ(values, 1u);
  char name[32];
  uint32_t name_size = sizeof name;
  ASSERT_EQ(platform::RegEnumValue(key.get(), 0, name, &name_size, nullptr, nullptr, nullptr), 0u);
  EXPECT_STREQ(name, "FullName");
  EXPECT_EQ(QueryValue(key.get(), "fullname").data, std::string("Someone Else\0", 13));
}

TEST_F(Registry, MissingKeysAndValuesAreFileNotFound) {
  UniqueKey key;
  Create("Software", &key);
  HKEY none = reinterpret_cast<HKEY>(uintptr_t{1});
  EXPECT_EQ(
      platform::RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\No\\Such", platform::KEY_READ, &none),
      ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(QueryValue(key.get(), "Missing").code, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(platform::RegDeleteValue(key.get(), "Missing"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(platform::RegDeleteKey(key.get(), "Missing"), ERROR_FILE_NOT_FOUND);

  // The machine hive does not exist yet: reads report 2 and do not create it.
  UniqueKey machine;
  EXPECT_EQ(
      platform::RegOpenKeyEx(HKEY_LOCAL_MACHINE, "Software", platform::KEY_READ, machine.out()),
      ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(QueryValue(HKEY_LOCAL_MACHINE, "Anything").code, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(platform::RegOpenKeyEx(HKEY_LOCAL_MACHINE, "", platform::KEY_ALL_ACCESS, machine.out()),
            ERROR_FILE_NOT_FOUND);
  struct stat st {};
  EXPECT_NE(::stat(platform::MachineHivePath().c_str(), &st), 0);
}

TEST_F(Registry, ShortBuffersGetMoreDataAndTheSizeNeeded) {
  UniqueKey key;
  Create("Sizes", &key);
  const std::string value("abcdefghij\0", 11);
  ASSERT_EQ(pellam::test::SetValue(key.get(), "LongValueName", platform::REG_SZ, value), 0u);
  struct Row {
    uint32_t buffer;
    uint32_t code;
    uint32_t size_out;
  };
  const Row rows[] = {{0, ERROR_MORE_DATA, 11},
                      {4, ERROR_MORE_DATA, 11},
                      {10, ERROR_MORE_DATA, 11},
                      {11, 0, 11},
                      {100, 0, 11}};
  for (const Row& row : rows) {
    std::vector<uint8_t> buffer(row.buffer + 1, 0xEE);
    uint32_t size = row.buffer;
    uint32_t type = 0;
    uint32_t code =
        platform::RegQueryValueEx(key.get(), "LongValueName", &type, buffer.data(), &size);
    EXPECT_EQ(code, row.code) << "buffer " << row.buffer;
    EXPECT_EQ(size, row.size_out) << "buffer " << row.buffer;
    EXPECT_EQ(type, platform::REG_SZ) << "buffer " << row.buffer;
    if (code == 0) {
      EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + 11), value);
      EXPECT_EQ(buffer[row.buffer], 0xEE) << "wrote past the buffer";
    }
  }
  uint32_t size = 0;
  EXPECT_EQ(platform::RegQueryValueEx(key.get(), "LongValueName", nullptr, nullptr, &size), 0u);
  EXPECT_EQ(size, 11u);
  EXPECT_EQ(platform::RegQueryValueEx(key.get(), "LongValueName", nullptr, nullptr, nullptr), 0u);
  uint8_t byte = 0;
  EXPECT_EQ(platform::RegQueryValueEx(key.get(), "LongValueName", nullptr, &byte, nullptr),
            ERROR_INVALID_PARAMETER);

  // Enumeration: the name needs its length + 1, the data its size.
  char name[32];
  uint8_t data[32];
  uint32_t name_size = 13;  // "LongValueName" without room for the NUL
  uint32_t data_size = sizeof data;
  EXPECT_EQ(platform::RegEnumValue(key.get(), 0, name, &name_size, nullptr, data, &data_size),
            ERROR_MORE_DATA);
  EXPECT_EQ(name_size, 13u);
  name_size = 14;
  data_size = 10;
  EXPECT_EQ(platform::RegEnumValue(key.get(), 0, name, &name_size, nullptr, data, &data_size),
            ERROR_MORE_DATA);
  EXPECT_EQ(data_size, 11u);
  EXPECT_STREQ(name, "LongValueName");
  name_size = 14;
  data_size = 11;
  EXPECT_EQ(platform::RegEnumValue(key.get(), 0, name, &name_size, nullptr, data, &data_size), 0u);
  EXPECT_EQ(name_size, 13u);

  UniqueKey sub;
  ASSERT_EQ(platform::RegCreateKeyEx(key.get(), "SubKeyName", sub.out()), 0u);
  name_size = 10;
  EXPECT_EQ(platform::RegEnumKeyEx(key.get(), 0, name, &name_size), ERROR_MORE_DATA);
  EXPECT_EQ(name_size, 10u);
  name_size = 11;
  EXPECT_EQ(platform::RegEnumKeyEx(key.get(), 0, name, &name_size), 0u);
  EXPECT_STREQ(name, "SubKeyName");
}

TEST_F(Registry, EnumerationGoesByNameIgnoringCaseAndQueryInfoCounts) {
  UniqueKey key;
  Create("Alias", &key);
  const char* values[] = {"beta", "Alpha", "gamma", "DELTA", "epsilon-longest"};
  for (const char* v : values) ASSERT_EQ(SetString(key.get(), v, v), 0u);
  ASSERT_EQ(pellam::test::SetValue(key.get(), "big", platform::REG_BINARY, std::string(300, 'x')),
            0u);
  for (const char* k : {"zeta", "Eta", "theta"}) {
    UniqueKey sub;
    ASSERT_EQ(platform::RegCreateKeyEx(key.get(), k, sub.out()), 0u);
  }

  std::vector<std::string> names;
  char name[64];
  uint32_t index = 0;
  for (;; ++index) {
    uint32_t size = sizeof name;
    uint32_t code =
        platform::RegEnumValue(key.get(), index, name, &size, nullptr, nullptr, nullptr);
    if (code == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(code, 0u) << index;
    names.emplace_back(name, size);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "beta", "big", "DELTA", "epsilon-longest",
                                             "gamma"}));

  std::vector<std::string> keys;
  for (index = 0;; ++index) {
    uint32_t size = sizeof name;
    uint32_t code = platform::RegEnumKeyEx(key.get(), index, name, &size);
    if (code == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(code, 0u) << index;
    keys.emplace_back(name);
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"Eta", "theta", "zeta"}));

  uint32_t sub_keys = 0, max_sub_key = 0, count = 0, max_name = 0, max_data = 0;
  ASSERT_EQ(
      platform::RegQueryInfoKey(key.get(), &sub_keys, &max_sub_key, &count, &max_name, &max_data),
      0u);
  EXPECT_EQ(sub_keys, 3u);
  EXPECT_EQ(max_sub_key, 5u);  // "theta"
  EXPECT_EQ(count, 6u);
  EXPECT_EQ(max_name, 15u);  // "epsilon-longest"
  EXPECT_EQ(max_data, 300u);
  EXPECT_EQ(platform::RegQueryInfoKey(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr), 0u);

  UniqueKey empty;
  Create("Alias\\Eta", &empty);
  ASSERT_EQ(
      platform::RegQueryInfoKey(empty.get(), &sub_keys, &max_sub_key, &count, &max_name, &max_data),
      0u);
  EXPECT_EQ(sub_keys + max_sub_key + count + max_name + max_data, 0u);
}

TEST_F(Registry, DeletingValuesAndKeys) {
  UniqueKey key;
  Create("Doomed\\Leaf", &key);
  ASSERT_EQ(SetString(key.get(), "Value", "x"), 0u);
  ASSERT_EQ(platform::RegDeleteValue(key.get(), "VALUE"), 0u);
  EXPECT_EQ(QueryValue(key.get(), "Value").code, ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(SetString(key.get(), "Value", "x"), 0u);

  EXPECT_EQ(platform::RegDeleteKey(HKEY_CURRENT_USER, "Doomed"), ERROR_ACCESS_DENIED)
      << "has a sub-key";
  UniqueKey still;
  EXPECT_EQ(
      platform::RegOpenKeyEx(HKEY_CURRENT_USER, "Doomed\\Leaf", platform::KEY_READ, still.out()),
      0u);
  EXPECT_EQ(platform::RegDeleteKey(HKEY_CURRENT_USER, "doomed\\LEAF"), 0u);
  UniqueKey gone;
  EXPECT_EQ(
      platform::RegOpenKeyEx(HKEY_CURRENT_USER, "Doomed\\Leaf", platform::KEY_READ, gone.out()),
      ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(platform::RegDeleteKey(HKEY_CURRENT_USER, "Doomed"), 0u);
  EXPECT_EQ(platform::RegDeleteKey(HKEY_CURRENT_USER, ""), ERROR_ACCESS_DENIED)
      << "the hive's root";
  EXPECT_EQ(platform::RegDeleteKey(HKEY_CURRENT_USER, nullptr), ERROR_INVALID_PARAMETER);

  // A key deleted and made again is a new key: its values are gone.
  UniqueKey again;
  Create("Doomed\\Leaf", &again);
  EXPECT_EQ(QueryValue(again.get(), "Value").code, ERROR_FILE_NOT_FOUND);
}

TEST_F(Registry, AHandleOnADeletedKeyReportsKeyDeleted) {
  UniqueKey key;
  Create("Temp\\Gone", &key);
  ASSERT_EQ(SetString(key.get(), "Value", "x"), 0u);
  ASSERT_EQ(platform::RegDeleteKey(HKEY_CURRENT_USER, "Temp\\Gone"), 0u);
  UniqueKey made_again;
  Create("Temp\\Gone", &made_again);  // a new key does not revive the old handle

  char name[16];
  uint32_t size = sizeof name;
  UniqueKey sub;
  EXPECT_EQ(QueryValue(key.get(), "Value").code, ERROR_KEY_DELETED);
  EXPECT_EQ(SetString(key.get(), "Value", "y"), ERROR_KEY_DELETED);
  EXPECT_EQ(platform::RegDeleteValue(key.get(), "Value"), ERROR_KEY_DELETED);
  EXPECT_EQ(platform::RegEnumValue(key.get(), 0, name, &size, nullptr, nullptr, nullptr),
            ERROR_KEY_DELETED);
  EXPECT_EQ(platform::RegEnumKeyEx(key.get(), 0, name, &size), ERROR_KEY_DELETED);
  EXPECT_EQ(platform::RegQueryInfoKey(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr),
            ERROR_KEY_DELETED);
  EXPECT_EQ(platform::RegOpenKeyEx(key.get(), "", platform::KEY_READ, sub.out()),
            ERROR_KEY_DELETED);
  EXPECT_EQ(platform::RegCreateKeyEx(key.get(), "Child", sub.out()), ERROR_KEY_DELETED);
  EXPECT_EQ(QueryValue(made_again.get(), "Value").code, ERROR_FILE_NOT_FOUND);
}

TEST_F(Registry, AHandleWithoutWriteAccessRefusesWrites) {
  {
    UniqueKey key;
    Create("Settings\\Child", &key);
    ASSERT_EQ(SetString(key.get(), "Kept", "yes"), 0u);
  }
  UniqueKey read_only;
  ASSERT_EQ(platform::RegOpenKeyEx(HKEY_CURRENT_USER, "Settings", platform::KEY_QUERY_VALUE,
                                   read_only.out()),
            0u);
  UniqueKey sub;
  EXPECT_EQ(SetString(read_only.get(), "New", "x"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(platform::RegCreateKeyEx(read_only.get(), "NewKey", sub.out()), ERROR_ACCESS_DENIED);
  EXPECT_EQ(platform::RegDeleteKey(read_only.get(), "Child"), ERROR_ACCESS_DENIED);
  UniqueKey child;
  ASSERT_EQ(platform::RegOpenKeyEx(read_only.get(), "Child", platform::KEY_READ, child.out()), 0u);
  EXPECT_EQ(platform::RegDeleteValue(child.get(), "Kept"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(QueryValue(child.get(), "Kept").data, std::string("yes\0", 4));
  // The same key opened with write access below the read-only handle may write.
  UniqueKey writable;
  ASSERT_EQ(
      platform::RegOpenKeyEx(read_only.get(), "Child", platform::KEY_SET_VALUE, writable.out()),
      0u);
  EXPECT_EQ(SetString(writable.get(), "Kept", "changed"), 0u);
}

TEST_F(Registry, RootsWorkAsHandles) {
  ASSERT_EQ(SetString(HKEY_CURRENT_USER, "TopLevel", "at the root"), 0u);
  EXPECT_EQ(QueryValue(HKEY_CURRENT_USER, "toplevel").data, std::string("at the root\0", 12));
  uint32_t values = 0;
  ASSERT_EQ(
      platform::RegQueryInfoKey(HKEY_CURRENT_USER, nullptr, nullptr, &values, nullptr, nullptr),
      0u);
  EXPECT_EQ(values, 1u);
  EXPECT_EQ(platform::RegDeleteValue(HKEY_CURRENT_USER, "TopLevel"), 0u);

  EXPECT_EQ(SetString(HKEY_USERS, "x", "y"), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(QueryValue(HKEY_USERS, "x").code, ERROR_INVALID_PARAMETER);
  UniqueKey users;
  EXPECT_EQ(platform::RegOpenKeyEx(HKEY_USERS, "", platform::KEY_READ, users.out()),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(platform::RegCloseKey(HKEY_CURRENT_USER), 0u);
  EXPECT_EQ(platform::RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
  EXPECT_EQ(QueryValue(nullptr, "x").code, ERROR_INVALID_HANDLE);
}

TEST_F(Registry, HivesLiveWhereTheyShouldWithTheirModes) {
  EXPECT_EQ(platform::CurrentUserHivePath(), sandbox_.Path("/home/tester/.pellam/registry.db"));
  EXPECT_EQ(platform::MachineHivePath(), sandbox_.Path("/var/lib/pellam/registry/machine.db"));
  // The modes are the layer's, whatever the umask.
  mode_t saved = ::umask(077);
  UniqueKey user, machine;
  uint32_t user_code = platform::RegCreateKeyEx(HKEY_CURRENT_USER, "Software", user.out());
  uint32_t machine_code = platform::RegCreateKeyEx(HKEY_LOCAL_MACHINE, "Software", machine.out());
  ::umask(saved);
  ASSERT_EQ(user_code, 0u);
  ASSERT_EQ(machine_code, 0u);
  struct Row {
    std::string path;
    mode_t mode;
  };
  const Row rows[] = {
      {sandbox_.Path("/home/tester/.pellam/registry.db"), 0600},
      {sandbox_.Path("/home/tester/.pellam"), 0700},
      {sandbox_.Path("/var/lib/pellam/registry/machine.db"), 0644},
      {sandbox_.Path("/var/lib/pellam/registry"), 0755},
      {sandbox_.Path("/var/lib/pellam"), 0755},
  };
  for (const Row& row : rows) {
    struct stat st {};
    ASSERT_EQ(::stat(row.path.c_str(), &st), 0) << row.path;
    EXPECT_EQ(st.st_mode & 07777, row.mode) << row.path;
  }
}

TEST_F(Registry, AccountsWithoutAHomeOrWithoutAnEntryHaveNoHive) {
  sandbox_.AddUser("nohome", 2100, "No Home", "");
  EXPECT_EQ(platform::UserHivePath(2100), "");
  EXPECT_EQ(platform::UserHivePath(4242), "");
  UniqueKey key;
  EXPECT_EQ(
      platform::RegOpenKeyEx(HKEY_USERS, "S-1-22-1-2100\\Software", platform::KEY_READ, key.out()),
      ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(platform::RegCreateKeyEx(HKEY_USERS, "S-1-22-1-2100\\Software", key.out()),
            ERROR_PATH_NOT_FOUND);

  Sandbox stranger;  // a root whose passwd does not know the calling user
  EXPECT_EQ(platform::RegOpenKeyEx(HKEY_CURRENT_USER, "Software", platform::KEY_READ, key.out()),
            ERROR_NONE_MAPPED);
  EXPECT_EQ(platform::RegCreateKeyEx(HKEY_CURRENT_USER, "Software", key.out()), ERROR_NONE_MAPPED);
}

TEST_F(Registry, FaultsFailTheOperationAndChangeNothing) {
  {
    UniqueKey key;
    Create("Faults\\Sub", &key);
    ASSERT_EQ(SetString(key.get(), "Value", "before"), 0u);
  }
  UniqueKey key;
  ASSERT_EQ(
      platform::RegOpenKeyEx(HKEY_CURRENT_USER, "Faults", platform::KEY_ALL_ACCESS, key.out()), 0u);
  UniqueKey sub;
  ASSERT_EQ(platform::RegOpenKeyEx(key.get(), "Sub", platform::KEY_ALL_ACCESS, sub.out()), 0u);
  char name[32];
  uint32_t size = 0;
  struct Row {
    const char* what;
    Op op;
    std::function<uint32_t()> call;
  };
  const Row rows[] = {
      {"query", Op::RegRead, [&] { return QueryValue(sub.get(), "Value").code; }},
      {"enum value", Op::RegRead,
       [&] {
         size = sizeof name;
         return platform::RegEnumValue(sub.get(), 0, name, &size, nullptr, nullptr, nullptr);
       }},
      {"enum key", Op::RegRead,
       [&] {
         size = sizeof name;
         return platform::RegEnumKeyEx(key.get(), 0, name, &size);
       }},
      {"query info", Op::RegRead,
       [&] {
         return platform::RegQueryInfoKey(sub.get(), nullptr, nullptr, nullptr, nullptr, nullptr);
       }},
      {"set", Op::RegWrite, [&] { return SetString(sub.get(), "Value", "after"); }},
      {"delete value", Op::RegWrite, [&] { return platform::RegDeleteValue(sub.get(), "Value"); }},
      {"create key", Op::RegWrite,
       [&] {
         UniqueKey k;
         return platform::RegCreateKeyEx(key.get(), "New", k.out());
       }},
      {"delete key", Op::RegWrite, [&] { return platform::RegDeleteKey(key.get(), "Sub"); }},
      {"open", Op::Open,
       [&] {
         UniqueKey k;
         return platform::RegOpenKeyEx(key.get(), "Sub", platform::KEY_READ, k.out());
       }},
      {"open root", Op::Open, [&] { return QueryValue(HKEY_CURRENT_USER, "x").code; }},
      {"set on root", Op::Open, [&] { return SetString(HKEY_CURRENT_USER, "x", "y"); }},
      {"current user", Op::Account,
       [&] {
         UniqueKey k;
         return platform::RegOpenKeyEx(HKEY_CURRENT_USER, "Faults", platform::KEY_READ, k.out());
       }},
  };
  for (const Row& row : rows) {
    platform::fault::FailNth(row.op, 1, ERROR_IO_DEVICE);
    EXPECT_EQ(row.call(), ERROR_IO_DEVICE) << row.what;
    platform::fault::Clear();
  }
  HKEY left = reinterpret_cast<HKEY>(uintptr_t{1});
  platform::fault::FailNth(Op::Open, 1, ERROR_TOO_MANY_OPEN_FILES);
  EXPECT_EQ(platform::RegOpenKeyEx(HKEY_CURRENT_USER, "Faults", platform::KEY_READ, &left),
            ERROR_TOO_MANY_OPEN_FILES);
  EXPECT_EQ(left, nullptr);
  platform::fault::Clear();

  // Nothing changed: the value, the sub-key, no new key, no root value.
  EXPECT_EQ(QueryValue(sub.get(), "Value").data, std::string("before\0", 7));
  UniqueKey k;
  EXPECT_EQ(platform::RegOpenKeyEx(key.get(), "New", platform::KEY_READ, k.out()),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(platform::RegOpenKeyEx(key.get(), "Sub", platform::KEY_READ, k.out()), 0u);
  EXPECT_EQ(QueryValue(HKEY_CURRENT_USER, "x").code, ERROR_FILE_NOT_FOUND);
}

// Each value of a batch gets exactly what a query of its own would have given it.
// Values read through their key's path in one go, one or all, give what opening the
// key and querying it would, missing keys and values alike.
TEST_F(Registry, ValuesReadByPathGiveWhatOpenAndQueryWould) {
  UniqueKey key;
  Create("Path\\Below", &key);
  ASSERT_EQ(SetString(key.get(), "Name", "value"), 0u);
  ASSERT_EQ(pellam::test::SetValue(key.get(), "Bytes", platform::REG_BINARY, std::string("a\0b", 3)), 0u);
  uint32_t type = 0;
  std::string data = "junk";
  ASSERT_EQ(platform::RegGetValue(HKEY_CURRENT_USER, "path\\BELOW", "NAME", &type, &data), 0u);
  EXPECT_EQ(type, platform::REG_SZ);
  EXPECT_EQ(data, std::string("value\0", 6));
  ASSERT_EQ(platform::RegGetValue(HKEY_CURRENT_USER, "Path\\Below", "Bytes", &type, &data), 0u);
  EXPECT_EQ(type, platform::REG_BINARY);
  EXPECT_EQ(data, std::string("a\0b", 3));
  UniqueKey path;
  ASSERT_EQ(platform::RegOpenKeyEx(HKEY_CURRENT_USER, "Path", platform::KEY_QUERY_VALUE, path.out()), 0u);
  ASSERT_EQ(platform::RegGetValue(path.get(), "Below", "Name", nullptr, &data), 0u);
  EXPECT_EQ(data, std::string("value\0", 6));
  std::vector<platform::RegValue> all;
  ASSERT_EQ(platform::RegGetAllValues(path.get(), "BELOW", &all), 0u);
  std::sort(all.begin(), all.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].name, "Bytes");
  EXPECT_EQ(all[0].type, platform::REG_BINARY);
  EXPECT_EQ(all[0].data, std::string("a\0b", 3));
  EXPECT_EQ(all[1].name, "Name");
  EXPECT_EQ(all[1].type, platform::REG_SZ);
  EXPECT_EQ(all[1].data, std::string("value\0", 6));
  ASSERT_EQ(platform::RegGetAllValues(HKEY_CURRENT_USER, "Path", &all), 0u);
  EXPECT_TRUE(all.empty()) << "a key with sub-keys and no values";
  EXPECT_EQ(platform::RegGetAllValues(HKEY_CURRENT_USER, "Path\\Absent", &all), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(platform::RegGetAllValues(HKEY_CURRENT_USER, "Path", nullptr), ERROR_INVALID_PARAMETER);

  EXPECT_EQ(platform::RegGetValue(HKEY_CURRENT_USER, "Path\\Below", "Missing", &type, &data), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(platform::RegGetValue(HKEY_CURRENT_USER, "Path\\Absent", "Name", &type, &data), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(platform::RegGetValue(HKEY_LOCAL_MACHINE, "Path\\Below", "Name", &type, &data), ERROR_FILE_NOT_FOUND)
      << "another hive";
  EXPECT_EQ(platform::RegGetValue(nullptr, "Path", "Name", &type, &data), ERROR_INVALID_HANDLE);
  EXPECT_EQ(platform::RegGetValue(HKEY_CURRENT_USER, "Path\\Below", "Name", &type, nullptr),
            ERROR_INVALID_PARAMETER);

  platform::fault::FailNth(Op::RegRead, 1, ERROR_IO_DEVICE);
  EXPECT_EQ(platform::RegGetValue(HKEY_CURRENT_USER, "Path\\Below", "Name", &type, &data), ERROR_IO_DEVICE);
  platform::fault::FailNth(Op::RegRead, 1, ERROR_IO_DEVICE);
  EXPECT_EQ(platform::RegGetAllValues(HKEY_CURRENT_USER, "Path\\Below", &all), ERROR_IO_DEVICE);
  platform::fault::Clear();

  ASSERT_EQ(platform::RegDeleteKey(HKEY_CURRENT_USER, "Path\\Below"), 0u);
  ASSERT_EQ(platform::RegDeleteKey(HKEY_CURRENT_USER, "Path"), 0u);
  EXPECT_EQ(platform::RegGetValue(path.get(), "Below", "Name", &type, &data), ERROR_KEY_DELETED);
  EXPECT_EQ(platform::RegGetAllValues(path.get(), "", &all), ERROR_KEY_DELETED);
}

TEST_F(Registry, ABatchReadGivesEachValueWhatASingleReadWould) {
  UniqueKey key;
  Create("Batch", &key);
  ASSERT_EQ(SetString(key.get(), "Short", "abc"), 0u);
  ASSERT_EQ(SetString(key.get(), "Long", std::string(300, 'x')), 0u);
  ASSERT_EQ(pellam::test::SetNumber(key.get(), "Number", 42), 0u);
  ASSERT_EQ(pellam::test::SetValue(key.get(), "Empty", platform::REG_BINARY, ""), 0u);
  struct Row {
    const char* name;
    uint32_t buffer;  // 0: no buffer, the size only
  };
  // More names than one query of the store takes, some of them twice or in other cases.
  const Row rows[] = {{"short", 16},  {"Long", 16},    {"LONG", 400},  {"Number", 4}, {"number", 3},
                      {"Missing", 8}, {"Empty", 8},    {"Short", 0},   {"Long", 0},   {"Absent", 0},
                      {"SHORT", 4},   {"Short", 3}};
  constexpr size_t kRows = std::size(rows);
  std::vector<std::vector<uint8_t>> buffers(kRows);
  uint32_t types[kRows] = {}, sizes[kRows] = {};
  platform::RegValueQuery queries[kRows];
  for (size_t i = 0; i < kRows; ++i) {
    buffers[i].assign(rows[i].buffer, 0xEE);
    sizes[i] = rows[i].buffer;
    queries[i].name = rows[i].name;
    queries[i].type = &types[i];
    queries[i].data = rows[i].buffer != 0 ? buffers[i].data() : nullptr;
    queries[i].size = &sizes[i];
  }
  ASSERT_EQ(platform::RegQueryValues(key.get(), queries, kRows), 0u);
  for (size_t i = 0; i < kRows; ++i) {
    std::vector<uint8_t> single(rows[i].buffer, 0xEE);
    uint32_t type = 0, size = rows[i].buffer;
    const uint32_t code = platform::RegQueryValueEx(key.get(), rows[i].name, &type,
                                                    rows[i].buffer != 0 ? single.data() : nullptr, &size);
    SCOPED_TRACE(std::string(rows[i].name) + " into " + std::to_string(rows[i].buffer));
    EXPECT_EQ(queries[i].result, code);
    EXPECT_EQ(sizes[i], size);
    if (code == 0) {
      EXPECT_EQ(types[i], type);
      EXPECT_EQ(buffers[i], single);
    }
  }
  EXPECT_EQ(queries[5].result, ERROR_FILE_NOT_FOUND);  // the rows above cover each outcome
  EXPECT_EQ(queries[1].result, ERROR_MORE_DATA);

  // A fault fails the one value it was armed for.
  platform::fault::FailNth(Op::RegRead, 2, ERROR_IO_DEVICE);
  ASSERT_EQ(platform::RegQueryValues(key.get(), queries, 3), 0u);
  EXPECT_EQ(queries[0].result, 0u);
  EXPECT_EQ(queries[1].result, ERROR_IO_DEVICE);
  EXPECT_EQ(queries[2].result, 0u);
  platform::fault::Clear();

  // What stops them all is the call's result.
  ASSERT_EQ(platform::RegDeleteKey(HKEY_CURRENT_USER, "Batch"), 0u);
  EXPECT_EQ(platform::RegQueryValues(key.get(), queries, kRows), ERROR_KEY_DELETED);
  EXPECT_EQ(platform::RegQueryValues(nullptr, queries, 1), ERROR_INVALID_HANDLE);
  platform::RegValueQuery no_size;
  uint8_t byte = 0;
  no_size.name = "x";
  no_size.data = &byte;
  EXPECT_EQ(platform::RegQueryValues(HKEY_CURRENT_USER, &no_size, 1), ERROR_INVALID_PARAMETER);
}

}  // namespace
