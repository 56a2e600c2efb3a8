// The node name database. Names are kept upper-cased, so lookups ignore case; an
// address has one name, the last one given for it.
#include "decnet/node_db.h"

#include <algorithm>
#include <cctype>

namespace decnet {

namespace {

std::string Upper(std::string_view name) {
  std::string out(name);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

bool IsAsciiAlnum(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsAsciiAlpha(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

bool IsValidNodeName(std::string_view name) {
  if (name.empty() || name.size() > 6) return false;
  return std::all_of(name.begin(), name.end(), IsAsciiAlnum) &&
         std::any_of(name.begin(), name.end(), IsAsciiAlpha);
}

bool NodeDatabase::Add(std::string_view name, NodeAddress address) {
  if (!IsValidNodeName(name) || !address.valid()) return false;
  std::string key = Upper(name);
  // The name's old address and the address's old name both give way.
  if (auto old = by_name_.find(key); old != by_name_.end()) by_address_.erase(old->second);
  if (auto old = by_address_.find(address); old != by_address_.end()) by_name_.erase(old->second);
  by_name_[key] = address;
  by_address_[address] = key;
  return true;
}

std::optional<NodeAddress> NodeDatabase::Find(std::string_view name) const {
  if (!IsValidNodeName(name)) return std::nullopt;
  auto it = by_name_.find(Upper(name));
  if (it == by_name_.end()) return std::nullopt;
  return it->second;
}

std::optional<std::string> NodeDatabase::NameOf(NodeAddress address) const {
  auto it = by_address_.find(address);
  if (it == by_address_.end()) return std::nullopt;
  return it->second;
}

std::vector<NodeDatabase::Entry> NodeDatabase::Entries() const {
  std::vector<Entry> out;
  out.reserve(by_address_.size());
  for (const auto& [address, name] : by_address_) out.push_back({name, address});
  return out;
}

}  // namespace decnet
