// pellreg's command line: a command (query, add, delete, export, import, in any letter
// case) with its key, file and switches (/v NAME, /ve, /t TYPE, /d DATA, /f, /s, /y,
// also written with "-"), checked and turned into a request before anything touches
// the store. Every mistake gives one message, and the program exits with 2.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "pellreg/key_path.h"
#include "pellreg/value_format.h"

namespace pellreg {

enum class Command { kHelp, kVersion, kQuery, kAdd, kDelete, kExport, kImport };

struct Request {
  Command command = Command::kHelp;
  KeyPath key;
  std::optional<std::string> value_name;  // /v NAME, or "" for /ve (the default value)
  uint32_t type = 0;                      // add: the /t type (REG_SZ when not given)
  Bytes data;                             // add: the /d data in stored form
  bool force = false;                     // /f: replace or delete without asking
  bool recursive = false;                 // /s
  bool replace_file = false;              // /y
  std::string file;                       // export and import
};

struct ParsedCommandLine {
  Request request;
  std::string error;         // the usage mistake; "" when the request is good
  bool show_usage = false;   // the command itself was missing or unknown
};

// `args` without the program name.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);

const char* UsageText();

}  // namespace pellreg
