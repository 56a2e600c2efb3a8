// pellncp's command line, in the manner of NCP: keywords in any letter case, each
// abbreviated to three letters or more ("sho exe", "loop node ALPHA cou 5"). Checked
// and turned into a control-socket request before the service is asked anything.
#pragma once

#include <string>
#include <vector>

#include "ncp_protocol.h"

namespace pellncp {

enum class Action { kHelp, kVersion, kRequest };

struct CommandLine {
  Action action = Action::kHelp;
  pellam::ncp::Request request;
  std::string error;  // the usage mistake; "" when the command line is good
};

// `args` without the program name.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

const char* UsageText();

}  // namespace pellncp
