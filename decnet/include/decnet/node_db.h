// The node name database: names (1 to 6 letters and digits, at least one letter,
// compared without regard to case) and their addresses, both ways.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "decnet/address.h"
#include "decnet/export.h"

namespace decnet {

DECNET_API bool IsValidNodeName(std::string_view name);

class DECNET_API NodeDatabase {
 public:
  // False (and nothing changed) for an invalid name or address. A name given again
  // takes the new address.
  bool Add(std::string_view name, NodeAddress address);
  std::optional<NodeAddress> Find(std::string_view name) const;
  std::optional<std::string> NameOf(NodeAddress address) const;  // upper case
  struct Entry {
    std::string name;
    NodeAddress address;
  };
  std::vector<Entry> Entries() const;  // sorted by address
  size_t size() const { return by_name_.size(); }

 private:
  std::map<std::string, NodeAddress> by_name_;  // upper-cased name
  std::map<NodeAddress, std::string> by_address_;
};

}  // namespace decnet
