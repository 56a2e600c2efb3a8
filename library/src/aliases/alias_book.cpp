#include "aliases/alias_book.h"

#include <vector>

#include "pellam.h"
#include "platform/errors.h"

namespace pellam {
namespace {

// Names as the registry compares them: ASCII letters folded, nothing else.
std::string Folded(std::string name) {
  for (char& c : name) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return name;
}

}  // namespace

AliasLookup JudgeAlias(uint32_t* code, uint32_t type, const std::string& data) {
  if (*code == ERROR_FILE_NOT_FOUND) return AliasLookup::NotHere;
  if (*code == 0 && type != platform::REG_SZ && type != platform::REG_MULTI_SZ) *code = ERROR_INVALID_DATA;
  if (*code == 0 && data.size() > UINT32_MAX - 2) *code = ERROR_NOT_ENOUGH_MEMORY;
  if (*code != 0) return AliasLookup::Failed;
  return data.empty() || data[0] == '\0' ? AliasLookup::NotHere : AliasLookup::Found;
}

AliasLookup AliasBook::LookUp(platform::HKEY root, Store* store, const std::string& name, std::string* translation,
                              uint32_t* code) {
  if (!store->loaded) {
    std::vector<platform::RegValue> values;
    store->code = platform::RegGetAllValues(root, PELLAM_ALIAS_KEY, &values);
    if (store->code == ERROR_FILE_NOT_FOUND) store->code = 0;  // no key: no aliases
    for (platform::RegValue& v : values) {
      std::string key = Folded(v.name);
      store->values.emplace(std::move(key), std::move(v));
    }
    store->loaded = true;
  }
  *code = store->code;
  if (*code != 0) return AliasLookup::Failed;
  const auto it = store->values.find(Folded(name));
  if (it == store->values.end()) return AliasLookup::NotHere;
  const AliasLookup lookup = JudgeAlias(code, it->second.type, it->second.data);
  if (lookup == AliasLookup::Found) *translation = it->second.data + std::string(2, '\0');
  return lookup;
}

uint32_t AliasBook::Find(const std::string& name, std::string* translation, bool* found) {
  *found = false;
  uint32_t code = 0;
  for (auto [root, store] : {std::pair{platform::HKEY_CURRENT_USER, &user_}, std::pair{platform::HKEY_LOCAL_MACHINE, &machine_}}) {
    switch (LookUp(root, store, name, translation, &code)) {
      case AliasLookup::Found:
        *found = true;
        return 0;
      case AliasLookup::Failed:
        return code;
      case AliasLookup::NotHere:
        break;
    }
  }
  return 0;
}

}  // namespace pellam
