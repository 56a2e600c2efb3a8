// The machine's DECnet configuration, read from HKLM\Software\Corwent\Pellam\DECnet
// (and its subkey Nodes) into the stack's NodeConfig. Every value is checked before
// anything starts: one bad value keeps DECnet off, and each problem names its value
// so that the event log says what to fix. A bad entry in the node database is only
// left out, so that one mistyped line of a large import does not silence the node.
#pragma once

#include <string>
#include <vector>

#include "decnet/config.h"

namespace pellam::service {

inline constexpr char kDecnetKey[] = "Software\\Corwent\\Pellam\\DECnet";

struct ConfigProblem {
  std::string value;  // the value's full name, "HKLM\Software\Corwent\Pellam\DECnet\Address"
  std::string text;   // what is wrong with it, as a sentence
};

struct DecnetSettings {
  enum class State {
    kAbsent,   // no DECnet key: the service runs without DECnet, as it always did
    kInvalid,  // the key is there but a value is missing or wrong: DECnet stays off
    kValid,
  };
  State state = State::kAbsent;
  decnet::NodeConfig config;           // kValid: what the node starts with
  std::string local_name;              // the Name value when it is set and valid, else ""
  std::vector<ConfigProblem> problems;  // kInvalid: why; kValid: node entries left out
};

// Reads the configuration. `computer_name` gives the node name when Name is not set
// (its first six characters, upper case, when they make a valid node name).
DecnetSettings ReadDecnetSettings(const std::string& computer_name);

}  // namespace pellam::service
