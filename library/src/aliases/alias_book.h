// The alias stores as one expansion of an address list sees them. An expansion looks
// up every local name of the list, often many; looking each up in the registry costs
// a read of each store per name, so the book reads each store whole, once, the first
// time it needs it, and answers from that. Answers are those GetAlias gives: the
// user's store first, then the machine's; an absent or empty value is not there; a
// value that is no string or list, or a store that cannot be read, is a failure.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "platform/registry.h"

namespace pellam {

enum class AliasLookup { Found, NotHere, Failed };

// What one store's answer for a name means. `*code` is the read's result (0 or
// ERROR_FILE_NOT_FOUND for a missing key or value); it becomes the failure's code.
AliasLookup JudgeAlias(uint32_t* code, uint32_t type, const std::string& data);

class AliasBook {
 public:
  // 0 with `*found` and, when found, `*translation` (the stored list with two NULs
  // after it); or the code of a failed read or of a value of the wrong type.
  uint32_t Find(const std::string& name, std::string* translation, bool* found);

 private:
  struct Store {
    bool loaded = false;
    uint32_t code = 0;  // of the load: a store that could not be read fails every look-up
    std::map<std::string, platform::RegValue> values;  // by name with ASCII letters folded
  };
  AliasLookup LookUp(platform::HKEY root, Store* store, const std::string& name, std::string* translation,
                     uint32_t* code);

  Store user_, machine_;
};

}  // namespace pellam
