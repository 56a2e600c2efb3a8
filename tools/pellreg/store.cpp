// Reading, walking and deleting whole keys; see store.h.
#include "pellreg/store.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "platform/errors.h"
#include "platform/text_line.h"

namespace pellreg {
namespace {

using platform::HKEY;
using platform::UniqueKey;

// Another process may add a longer name or value between asking for the sizes and
// reading; the read is then tried again with fresh sizes, a few times.
constexpr int kAttempts = 4;

uint32_t OpenChild(HKEY parent, const std::string& name, uint32_t access, UniqueKey* handle) {
  return platform::RegOpenKeyEx(parent, name.c_str(), access, handle->out());
}

}  // namespace

std::string CodeText(uint32_t code) {
  const char* text = platform::SystemMessage(code);
  if (text == nullptr) return "error " + std::to_string(code);
  return std::string(platform::WithoutLineEnd(text));
}

uint32_t OpenKey(const KeyPath& key, uint32_t access, UniqueKey* handle) {
  return platform::RegOpenKeyEx(RootHandle(key.root), key.sub_key.c_str(), access, handle->out());
}

uint32_t CreateKey(const KeyPath& key, UniqueKey* handle) {
  return platform::RegCreateKeyEx(RootHandle(key.root), key.sub_key.c_str(), handle->out());
}

uint32_t ReadValue(HKEY key, const std::string& name, StoredValue* value) {
  // Found among all values rather than asked for by name, so that the name comes back
  // spelt as stored: the store compares names without regard to (ASCII) case.
  std::vector<StoredValue> values;
  uint32_t rc = ReadValues(key, &values);
  if (rc != ERROR_SUCCESS) return rc;
  for (StoredValue& v : values) {
    if (v.name.size() == name.size() &&
        std::equal(v.name.begin(), v.name.end(), name.begin(), [](char a, char b) {
          return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
        })) {
      *value = std::move(v);
      return ERROR_SUCCESS;
    }
  }
  return ERROR_FILE_NOT_FOUND;
}

uint32_t ReadValues(HKEY key, std::vector<StoredValue>* values) {
  values->clear();
  for (uint32_t index = 0;; ++index) {
    uint32_t rc = ERROR_MORE_DATA;
    for (int attempt = 0; attempt < kAttempts && rc == ERROR_MORE_DATA; ++attempt) {
      uint32_t max_name = 0;
      uint32_t max_data = 0;
      rc = platform::RegQueryInfoKey(key, nullptr, nullptr, nullptr, &max_name, &max_data);
      if (rc != ERROR_SUCCESS) return rc;
      std::string name(max_name + 1, '\0');
      StoredValue value;
      value.data.assign(max_data + 1, 0);
      uint32_t name_size = max_name + 1;
      uint32_t data_size = max_data + 1;
      rc = platform::RegEnumValue(key, index, name.data(), &name_size, &value.type,
                                  value.data.data(), &data_size);
      if (rc == ERROR_SUCCESS) {
        name.resize(name_size);
        value.name = std::move(name);
        value.data.resize(data_size);
        values->push_back(std::move(value));
      }
    }
    if (rc == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
    if (rc != ERROR_SUCCESS) return rc;
  }
}

uint32_t ReadSubKeyNames(HKEY key, std::vector<std::string>* names) {
  names->clear();
  for (uint32_t index = 0;; ++index) {
    uint32_t rc = ERROR_MORE_DATA;
    for (int attempt = 0; attempt < kAttempts && rc == ERROR_MORE_DATA; ++attempt) {
      uint32_t max_name = 0;
      rc = platform::RegQueryInfoKey(key, nullptr, &max_name, nullptr, nullptr, nullptr);
      if (rc != ERROR_SUCCESS) return rc;
      std::string name(max_name + 1, '\0');
      uint32_t name_size = max_name + 1;
      rc = platform::RegEnumKeyEx(key, index, name.data(), &name_size);
      if (rc == ERROR_SUCCESS) {
        name.resize(name_size);
        names->push_back(std::move(name));
      }
    }
    if (rc == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
    if (rc != ERROR_SUCCESS) return rc;
  }
}

namespace {

uint32_t Walk(const KeyPath& path, HKEY key, const KeyVisitor& visit, KeyPath* failed_at) {
  std::vector<std::string> names;
  uint32_t rc = visit(path, key);
  if (rc == ERROR_SUCCESS) rc = ReadSubKeyNames(key, &names);
  if (rc != ERROR_SUCCESS) {
    *failed_at = path;
    return rc;
  }
  for (const std::string& name : names) {
    const KeyPath child_path = ChildKey(path, name);
    UniqueKey child;
    rc = OpenChild(key, name, platform::KEY_READ, &child);
    if (rc != ERROR_SUCCESS) {
      *failed_at = child_path;
      return rc;
    }
    rc = Walk(child_path, child.get(), visit, failed_at);
    if (rc != ERROR_SUCCESS) return rc;
  }
  return ERROR_SUCCESS;
}

// Deletes `name` below the open `parent`, its sub-keys first: the store deletes only
// keys without sub-keys.
uint32_t DeleteBelow(HKEY parent, const KeyPath& path, const std::string& name,
                     KeyPath* failed_at) {
  {
    UniqueKey key;
    std::vector<std::string> names;
    uint32_t rc = OpenChild(parent, name, platform::KEY_ALL_ACCESS, &key);
    if (rc == ERROR_SUCCESS) rc = ReadSubKeyNames(key.get(), &names);
    if (rc != ERROR_SUCCESS) {
      *failed_at = path;
      return rc;
    }
    for (const std::string& sub : names) {
      rc = DeleteBelow(key.get(), ChildKey(path, sub), sub, failed_at);
      if (rc != ERROR_SUCCESS) return rc;
    }
  }  // closed before it is deleted
  uint32_t rc = platform::RegDeleteKey(parent, name.c_str());
  if (rc != ERROR_SUCCESS) *failed_at = path;
  return rc;
}

}  // namespace

uint32_t WalkTree(const KeyPath& top, const KeyVisitor& visit, KeyPath* failed_at) {
  UniqueKey key;
  uint32_t rc = OpenKey(top, platform::KEY_READ, &key);
  if (rc != ERROR_SUCCESS) {
    *failed_at = top;
    return rc;
  }
  return Walk(top, key.get(), visit, failed_at);
}

uint32_t DeleteKeyTree(const KeyPath& key, KeyPath* failed_at) {
  std::size_t slash = key.sub_key.rfind('\\');
  KeyPath parent{key.root, slash == std::string::npos ? "" : key.sub_key.substr(0, slash)};
  std::string name = key.sub_key.substr(slash == std::string::npos ? 0 : slash + 1);
  UniqueKey parent_key;
  uint32_t rc = OpenKey(parent, platform::KEY_ALL_ACCESS, &parent_key);
  if (rc != ERROR_SUCCESS) {
    *failed_at = key;
    return rc;
  }
  return DeleteBelow(parent_key.get(), key, name, failed_at);
}

}  // namespace pellreg
