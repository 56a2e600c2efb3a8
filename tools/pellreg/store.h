// Whole keys of the registry store as pellreg needs them: a key's values and sub-key
// names read in the store's order, a walk over a key and everything below it, and a
// key deleted with everything below it. Every function returns the store's status
// code; those that work on many keys also name the key where they stopped.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "pellreg/key_path.h"
#include "pellreg/value_format.h"

namespace pellreg {

struct StoredValue {
  std::string name;  // "" is the default value
  uint32_t type = 0;
  Bytes data;
};

// The text of a status code without its line end ("Access is denied."), or
// "error N" for a code the platform layer has no text for.
std::string CodeText(uint32_t code);

uint32_t OpenKey(const KeyPath& key, uint32_t access, platform::UniqueKey* handle);

// Opens the key for writing, creating it and the keys on its way when they are missing.
uint32_t CreateKey(const KeyPath& key, platform::UniqueKey* handle);

// One value; ERROR_FILE_NOT_FOUND when the key has none of that name.
uint32_t ReadValue(platform::HKEY key, const std::string& name, StoredValue* value);

uint32_t ReadValues(platform::HKEY key, std::vector<StoredValue>* values);
uint32_t ReadSubKeyNames(platform::HKEY key, std::vector<std::string>* names);

// Calls `visit` for `top` and every key below it, each parent before its sub-keys,
// sub-keys in the store's order. Stops at the first failure (of the store or of a
// visit, which returns a status code), and then *failed_at names the key concerned.
using KeyVisitor = std::function<uint32_t(const KeyPath& path, platform::HKEY key)>;
uint32_t WalkTree(const KeyPath& top, const KeyVisitor& visit, KeyPath* failed_at);

// Deletes the key (not a hive's root) with every key and value below it. At a failure the
// keys deleted so far stay deleted, and *failed_at names the key that could not be.
uint32_t DeleteKeyTree(const KeyPath& key, KeyPath* failed_at);

}  // namespace pellreg
