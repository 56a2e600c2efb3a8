// Parsing and naming of keys; see key_path.h.
#include "pellreg/key_path.h"

#include <array>
#include <cctype>

namespace pellreg {
namespace {

struct RootName {
  std::string_view short_name;
  std::string_view long_name;
  Root root;
};

constexpr std::array<RootName, 3> kRoots = {{
    {"HKLM", "HKEY_LOCAL_MACHINE", Root::kLocalMachine},
    {"HKCU", "HKEY_CURRENT_USER", Root::kCurrentUser},
    {"HKU", "HKEY_USERS", Root::kUsers},
}};

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

std::string Invalid(std::string_view text, std::string_view why) {
  return "invalid key name \"" + std::string(text) + "\": " + std::string(why);
}

}  // namespace

std::string Printable(std::string_view text) {
  std::string shown;
  for (char c : text) {
    if (c == '\r') {
      shown += "\\r";
    } else if (c == '\n') {
      shown += "\\n";
    } else if (c == '\0') {
      shown += "\\0";
    } else {
      shown += c;
    }
  }
  return shown;
}

bool IsWritableName(std::string_view name) {
  return name.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

std::optional<KeyPath> ParseKeyPath(std::string_view text, std::string* error) {
  std::string_view rest = text;
  if (!rest.empty() && rest.back() == '\\') rest.remove_suffix(1);
  std::size_t slash = rest.find('\\');
  std::string_view root_name = rest.substr(0, slash);
  const RootName* found = nullptr;
  for (const RootName& r : kRoots) {
    if (EqualsIgnoringCase(root_name, r.short_name) || EqualsIgnoringCase(root_name, r.long_name)) {
      found = &r;
    }
  }
  if (found == nullptr) {
    *error = Invalid(text, "it must begin with HKLM, HKCU or HKU (or HKEY_LOCAL_MACHINE, "
                           "HKEY_CURRENT_USER, HKEY_USERS)");
    return std::nullopt;
  }
  KeyPath key{found->root, ""};
  if (slash == std::string_view::npos) {
    if (key.root != Root::kUsers) return key;
    *error = Invalid(text, "HKEY_USERS must be followed by a user's SID, as in HKU\\S-1-22-1-1000");
    return std::nullopt;
  }
  key.sub_key = std::string(rest.substr(slash + 1));
  // Every name between separators must be there: "a\\b" is a typing error, not a key.
  std::size_t start = 0;
  while (true) {
    std::size_t end = key.sub_key.find('\\', start);
    if (end == start || start == key.sub_key.size()) {
      *error = Invalid(text, "a name between \"\\\" separators is empty");
      return std::nullopt;
    }
    if (end == std::string::npos) break;
    start = end + 1;
  }
  if (!IsWritableName(key.sub_key)) {
    *error = Invalid(text, "a name cannot hold a line break or a NUL");
    return std::nullopt;
  }
  return key;
}

bool IsHiveRoot(const KeyPath& key) {
  if (key.root == Root::kUsers) return key.sub_key.find('\\') == std::string::npos;
  return key.sub_key.empty();
}

std::string FullName(const KeyPath& key) {
  std::string name;
  for (const RootName& r : kRoots) {
    if (r.root == key.root) name = r.long_name;
  }
  if (!key.sub_key.empty()) name += "\\" + key.sub_key;
  return name;
}

KeyPath ChildKey(const KeyPath& key, std::string_view name) {
  KeyPath child = key;
  if (!child.sub_key.empty()) child.sub_key += '\\';
  child.sub_key += name;
  return child;
}

platform::HKEY RootHandle(Root root) {
  switch (root) {
    case Root::kCurrentUser:
      return platform::HKEY_CURRENT_USER;
    case Root::kUsers:
      return platform::HKEY_USERS;
    case Root::kLocalMachine:
      break;
  }
  return platform::HKEY_LOCAL_MACHINE;
}

}  // namespace pellreg
