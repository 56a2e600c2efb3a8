// Reading the DECnet key value by value. Types are strict (a port written as text is
// refused rather than guessed at); texts are trimmed of nothing, so what the event log
// quotes is what the registry holds.
#include "decnet_config.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <optional>

#include "decnet/address.h"
#include "decnet/node_db.h"
#include "platform/errors.h"
#include "platform/registry.h"

namespace pellam::service {
namespace {

using platform::UniqueKey;

constexpr char kKeyName[] = "HKLM\\Software\\Corwent\\Pellam\\DECnet";
constexpr size_t kMaxText = 256;

struct RawValue {
  uint32_t type = platform::REG_NONE;
  std::vector<uint8_t> data;
};

class Reader {
 public:
  Reader(platform::HKEY key, std::vector<ConfigProblem>& problems) : key_(key), problems_(problems) {}

  // The value, or nullopt when it is absent (or unreadable: reported).
  std::optional<RawValue> Raw(const char* name) {
    uint32_t type = 0, size = 0;
    uint32_t code = platform::RegQueryValueEx(key_, name, &type, nullptr, &size);
    if (code == ERROR_FILE_NOT_FOUND) return std::nullopt;
    RawValue value;
    if (code == ERROR_SUCCESS) {
      value.type = type;
      value.data.resize(size);
      code = platform::RegQueryValueEx(key_, name, &type, value.data.data(), &size);
      value.data.resize(std::min<size_t>(size, value.data.size()));
    }
    if (code != ERROR_SUCCESS) {
      Problem(name, "The value cannot be read (status " + std::to_string(code) + ").");
      return std::nullopt;
    }
    return value;
  }

  // A REG_SZ value, or nullopt when absent or wrong (reported).
  std::optional<std::string> Text(const char* name) {
    const auto raw = Raw(name);
    if (!raw) return std::nullopt;
    if (raw->type != platform::REG_SZ) return Problem(name, "The value must be of type REG_SZ.");
    std::string text(raw->data.begin(), raw->data.end());
    while (!text.empty() && text.back() == '\0') text.pop_back();
    if (text.size() > kMaxText || text.find('\0') != std::string::npos) {
      return Problem(name, "The value is not a text of at most 256 characters.");
    }
    return text;
  }

  // A REG_DWORD value within [min, max], or nullopt when absent or wrong (reported).
  std::optional<uint32_t> Number(const char* name, uint32_t min, uint32_t max) {
    const auto raw = Raw(name);
    if (!raw) return std::nullopt;
    if (raw->type != platform::REG_DWORD || raw->data.size() != 4) {
      return Problem(name, "The value must be of type REG_DWORD.");
    }
    const uint32_t n = static_cast<uint32_t>(raw->data[0] | raw->data[1] << 8 | raw->data[2] << 16) |
                       static_cast<uint32_t>(raw->data[3]) << 24;
    if (n < min || n > max) {
      Problem(name, std::to_string(n) + " is out of range: it must lie from " + std::to_string(min) + " to " +
                        std::to_string(max) + ".");
      return std::nullopt;
    }
    return n;
  }

  // Records what is wrong with value `name`; returns nothing to read, for the callers above.
  std::nullopt_t Problem(const std::string& name, std::string text) {
    problems_.push_back({std::string(kKeyName) + "\\" + name, std::move(text)});
    return std::nullopt;
  }

 private:
  platform::HKEY key_;
  std::vector<ConfigProblem>& problems_;
};

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
  return text;
}

// Host names and addresses: printable, no blanks, at most a DNS name's length.
bool IsHostText(const std::string& text) {
  if (text.empty() || text.size() > 253) return false;
  return std::all_of(text.begin(), text.end(), [](unsigned char c) { return c > 0x20 && c < 0x7f; });
}

std::optional<decnet::CircuitKind> CircuitKindOf(const std::string& text) {
  const std::string t = Lower(text);
  if (t == "multinet-tcp-connect") return decnet::CircuitKind::kMultinetTcpConnect;
  if (t == "multinet-tcp-listen") return decnet::CircuitKind::kMultinetTcpListen;
  if (t == "ethernet-udp") return decnet::CircuitKind::kEthernetUdp;
  if (t == "ethernet") return decnet::CircuitKind::kEthernet;
  return std::nullopt;
}

void ReadCircuit(Reader& r, decnet::CircuitConfig& circuit) {
  const auto kind_text = r.Text("Circuit");
  if (!kind_text) {
    if (!r.Raw("Circuit")) {
      r.Problem("Circuit", "The value is missing: one of multinet-tcp-connect, multinet-tcp-listen, ethernet-udp, ethernet.");
    }
    return;
  }
  const auto kind = CircuitKindOf(*kind_text);
  if (!kind) {
    r.Problem("Circuit", "\"" + *kind_text +
                             "\" is not a circuit: one of multinet-tcp-connect, multinet-tcp-listen, ethernet-udp, ethernet.");
    return;
  }
  circuit.kind = *kind;
  const bool ip = *kind != decnet::CircuitKind::kEthernet;
  const bool needs_remote = *kind == decnet::CircuitKind::kMultinetTcpConnect || *kind == decnet::CircuitKind::kEthernetUdp;
  if (const auto host = r.Text("RemoteHost")) {
    if (!IsHostText(*host)) r.Problem("RemoteHost", "\"" + *host + "\" is not a host name or address.");
    circuit.remote_host = *host;
  } else if (needs_remote && !r.Raw("RemoteHost")) {
    r.Problem("RemoteHost", "The value is missing: the circuit " + Lower(*kind_text) + " needs the peer's host.");
  }
  if (const auto host = r.Text("LocalHost")) {
    if (!IsHostText(*host)) r.Problem("LocalHost", "\"" + *host + "\" is not a host name or address.");
    circuit.local_host = *host;
  }
  if (const auto port = r.Number("RemotePort", 1, 65535)) circuit.remote_port = static_cast<uint16_t>(*port);
  if (const auto port = r.Number("LocalPort", 1, 65535)) circuit.local_port = static_cast<uint16_t>(*port);
  if (const auto device = r.Text("Device")) {
    if (device->empty() || device->size() > 15 || !IsHostText(*device) || device->find('/') != std::string::npos) {
      r.Problem("Device", "\"" + *device + "\" is not an interface name.");
    }
    circuit.device = *device;
  } else if (!ip && !r.Raw("Device")) {
    r.Problem("Device", "The value is missing: the circuit ethernet needs an interface name.");
  }
  if (const auto timer = r.Number("HelloTimer", 1, 8191)) circuit.hello_timer = std::chrono::seconds(*timer);
  if (const auto verification = r.Text("Verification")) {
    const bool printable = std::all_of(verification->begin(), verification->end(),
                                       [](unsigned char c) { return c >= 0x20 && c < 0x7f; });
    if (verification->size() > 64 || !printable) {
      r.Problem("Verification", "The value must be at most 64 printable characters.");
    }
    circuit.verification = *verification;
  }
}

// The node names: the first six characters of the computer name before any dot.
std::string NameFromComputer(const std::string& computer_name) {
  return Upper(computer_name.substr(0, std::min<size_t>(computer_name.find('.'), 6)));
}

void ReadNodes(platform::HKEY decnet_key, decnet::NodeDatabase& nodes, std::vector<ConfigProblem>& problems) {
  UniqueKey key;
  if (platform::RegOpenKeyEx(decnet_key, "Nodes", platform::KEY_READ, key.out()) != ERROR_SUCCESS) return;
  const std::string prefix = std::string(kKeyName) + "\\Nodes\\";
  for (uint32_t index = 0;; ++index) {
    char name[64];
    uint8_t data[64];
    uint32_t name_size = sizeof name, data_size = sizeof data - 1, type = 0;
    const uint32_t code = platform::RegEnumValue(key.get(), index, name, &name_size, &type, data, &data_size);
    if (code == ERROR_NO_MORE_ITEMS) break;
    if (code == ERROR_MORE_DATA) {
      problems.push_back({prefix + "#" + std::to_string(index + 1),
                          "The name or the address is too long. The entry is left out of the node database."});
      continue;
    }
    if (code != ERROR_SUCCESS) {
      problems.push_back({prefix, "The node database cannot be read (status " + std::to_string(code) + ")."});
      break;
    }
    const std::string node(name, name_size);
    std::string text(reinterpret_cast<const char*>(data), data_size);
    while (!text.empty() && text.back() == '\0') text.pop_back();
    const auto address = decnet::ParseNodeAddress(text);
    if (type != platform::REG_SZ || !address || !decnet::IsValidNodeName(node)) {
      problems.push_back({prefix + node,
                          type != platform::REG_SZ        ? std::string("The value must be of type REG_SZ.")
                          : !decnet::IsValidNodeName(node) ? "\"" + node + "\" is not a node name (1 to 6 letters and digits, one a letter)."
                                                           : "\"" + text + "\" is not a node address (area.node, area 1 to 63, node 1 to 1023)."});
      problems.back().text += " The entry is left out of the node database.";
      continue;
    }
    nodes.Add(node, *address);
  }
}

}  // namespace

DecnetSettings ReadDecnetSettings(const std::string& computer_name) {
  DecnetSettings settings;
  UniqueKey key;
  const uint32_t opened = platform::RegOpenKeyEx(platform::HKEY_LOCAL_MACHINE, kDecnetKey, platform::KEY_READ, key.out());
  if (opened == ERROR_FILE_NOT_FOUND || opened == ERROR_PATH_NOT_FOUND) return settings;
  settings.state = DecnetSettings::State::kInvalid;
  if (opened != ERROR_SUCCESS) {
    settings.problems.push_back({kKeyName, "The key cannot be read (status " + std::to_string(opened) + ")."});
    return settings;
  }
  Reader r(key.get(), settings.problems);
  decnet::NodeConfig& config = settings.config;
  if (const auto address_text = r.Text("Address")) {
    const auto address = decnet::ParseNodeAddress(*address_text);
    if (address) {
      config.address = *address;
    } else {
      r.Problem("Address", "\"" + *address_text + "\" is not a node address: area.node, area 1 to 63, node 1 to 1023.");
    }
  } else if (!r.Raw("Address")) {
    r.Problem("Address", "The value is missing: the node's address, area.node.");
  }
  if (const auto name = r.Text("Name")) {
    if (decnet::IsValidNodeName(*name)) {
      config.name = Upper(*name);
      settings.local_name = config.name;
    } else {
      r.Problem("Name", "\"" + *name + "\" is not a node name: 1 to 6 letters and digits, at least one a letter.");
    }
  } else if (!r.Raw("Name")) {
    const std::string derived = NameFromComputer(computer_name);
    if (decnet::IsValidNodeName(derived)) {
      config.name = derived;
    } else {
      r.Problem("Name", "The value is missing, and the computer name \"" + computer_name +
                            "\" gives no node name: set Name to 1 to 6 letters and digits.");
    }
  }
  ReadCircuit(r, config.circuit);
  if (!settings.problems.empty()) return settings;

  ReadNodes(key.get(), config.nodes, settings.problems);
  config.nodes.Add(config.name, config.address);  // the node knows itself by its own name
  settings.state = DecnetSettings::State::kValid;
  return settings;
}

}  // namespace pellam::service
