// Key names as administrators type them: a root (HKLM, HKCU, HKU or the long forms
// HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_USERS, in any letter case) followed by
// the names below it, separated by "\". Names never hold a line break or a NUL, so
// that every key can be written in the text registry format and read back.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/registry.h"

namespace pellreg {

enum class Root { kLocalMachine, kCurrentUser, kUsers };

struct KeyPath {
  Root root = Root::kLocalMachine;
  std::string sub_key;  // names below the root joined by "\"; "" for the root itself

  bool operator==(const KeyPath&) const = default;
};

// Parses "HKLM\Software\Corwent"; one trailing "\" is allowed. nullopt, with a
// complete message in *error, for an unknown root, an empty name or a bad name, and
// for HKEY_USERS without a SID after it: the store keeps no keys of its own there.
std::optional<KeyPath> ParseKeyPath(std::string_view text, std::string* error);

// True for the root of a hive, which cannot be deleted: HKLM, HKCU and HKU\<SID>.
bool IsHiveRoot(const KeyPath& key);

// The key's name with the long root name: "HKEY_LOCAL_MACHINE\Software\Corwent".
std::string FullName(const KeyPath& key);

// The key `name` directly below `key`.
KeyPath ChildKey(const KeyPath& key, std::string_view name);

platform::HKEY RootHandle(Root root);

// `text` for a one-line message: CR, LF and NUL shown as \r, \n and \0.
std::string Printable(std::string_view text);

// False for a key or value name that the text format cannot carry: one holding CR,
// LF or NUL.
bool IsWritableName(std::string_view name);

}  // namespace pellreg
