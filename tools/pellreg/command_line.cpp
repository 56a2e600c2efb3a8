// Parsing of pellreg's arguments; see command_line.h.
#include "pellreg/command_line.h"

#include <array>
#include <cctype>
#include <string_view>

#include "platform/registry.h"

namespace pellreg {
namespace {

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

bool IsHelp(const std::string& arg) { return arg == "/?" || arg == "-?" || arg == "-h" || arg == "--help"; }

struct CommandInfo {
  std::string_view name;
  Command command;
  std::string_view switches;  // the switches it takes, as letters: v=/v and /ve
  int positionals;            // KEY, FILE or KEY FILE
  std::string_view needs;     // what a missing positional is called
};

constexpr std::array<CommandInfo, 5> kCommands = {{
    {"query", Command::kQuery, "vs", 1, "a key name"},
    {"add", Command::kAdd, "vtdf", 1, "a key name"},
    {"delete", Command::kDelete, "vf", 1, "a key name"},
    {"export", Command::kExport, "y", 2, "a key name and a file name"},
    {"import", Command::kImport, "", 1, "a file name"},
}};

// The switch an argument names ("/v", "-VE", ...) or "" when it is not one: anything
// else, "/tmp/x.reg" included, is a positional argument.
std::string SwitchName(const std::string& arg) {
  if (arg.size() < 2 || (arg[0] != '/' && arg[0] != '-')) return "";
  std::string name = Lower(std::string_view(arg).substr(1));
  for (std::string_view known : {"v", "ve", "t", "d", "f", "s", "y"}) {
    if (name == known) return name;
  }
  return "";
}

class Parser {
 public:
  explicit Parser(const std::vector<std::string>& args) : args_(args) {}

  ParsedCommandLine Run() {
    for (const std::string& arg : args_) {
      if (IsHelp(arg)) return result_;  // kHelp
    }
    if (args_.empty()) return Usage("no command given");
    if (args_[0] == "--version") {
      if (args_.size() > 1) return Fail("unexpected argument \"" + args_[1] + "\"");
      result_.request.command = Command::kVersion;
      return result_;
    }
    const CommandInfo* info = nullptr;
    for (const CommandInfo& c : kCommands) {
      if (Lower(args_[0]) == c.name) info = &c;
    }
    if (info == nullptr) return Usage("unknown command \"" + args_[0] + "\"");
    result_.request.command = info->command;
    if (!ReadArguments(*info)) return result_;
    Request& r = result_.request;
    if (static_cast<int>(positionals_.size()) < info->positionals) {
      return Fail(std::string(info->name) + " needs " + std::string(info->needs));
    }
    if (info->command == Command::kImport) {
      r.file = positionals_[0];
      return result_;
    }
    std::string error;
    std::optional<KeyPath> key = ParseKeyPath(positionals_[0], &error);
    if (!key) return Fail(error);
    r.key = *key;
    if (info->command == Command::kExport) r.file = positionals_[1];
    if (info->command == Command::kDelete && IsHiveRoot(r.key) && !r.value_name) {
      return Fail("a root key cannot be deleted");
    }
    if (info->command == Command::kAdd) return CheckValue();
    return result_;
  }

 private:
  ParsedCommandLine Fail(std::string message) {
    result_.error = std::move(message);
    return result_;
  }
  ParsedCommandLine Usage(std::string message) {
    result_.show_usage = true;
    return Fail(std::move(message));
  }

  // The text after a switch that takes one (/v NAME, /t TYPE, /d DATA).
  bool TakeOperand(std::size_t* i, const std::string& name, const char* what,
                   std::optional<std::string>* into) {
    if (into->has_value()) {
      Fail("/" + name + " is given twice");
      return false;
    }
    if (*i + 1 >= args_.size()) {
      Fail("/" + name + " needs " + what);
      return false;
    }
    *into = args_[++*i];
    return true;
  }

  bool ReadArguments(const CommandInfo& info) {
    Request& r = result_.request;
    for (std::size_t i = 1; i < args_.size(); ++i) {
      const std::string name = SwitchName(args_[i]);
      if (name.empty()) {
        if (static_cast<int>(positionals_.size()) == info.positionals) {
          Fail("unexpected argument \"" + args_[i] + "\"");
          return false;
        }
        positionals_.push_back(args_[i]);
        continue;
      }
      if (info.switches.find(name[0]) == std::string_view::npos) {
        Fail("/" + name + " is not an option of " + std::string(info.name));
        return false;
      }
      bool* flag = name == "f" ? &r.force : name == "s" ? &r.recursive : name == "y" ? &r.replace_file : nullptr;
      if (flag != nullptr) {
        if (*flag) {
          Fail("/" + name + " is given twice");
          return false;
        }
        *flag = true;
      } else if (name == "ve" || name == "v") {
        if (r.value_name) {
          Fail("/v or /ve is given twice");
          return false;
        }
        if (name == "ve") {
          r.value_name = "";
        } else if (!TakeOperand(&i, name, "a value name", &r.value_name)) {
          return false;
        } else if (!IsWritableName(*r.value_name)) {
          Fail("a value name cannot hold a line break or a NUL");
          return false;
        }
      } else if (!TakeOperand(&i, name, name == "t" ? "a type" : "the data",
                              name == "t" ? &type_ : &data_)) {
        return false;
      }
    }
    return true;
  }

  // add: /t and /d belong to a value, and must make sense for its type.
  ParsedCommandLine CheckValue() {
    Request& r = result_.request;
    if (!r.value_name && (type_ || data_)) return Fail("/t and /d need /v NAME or /ve");
    r.type = platform::REG_SZ;
    if (type_) {
      std::optional<uint32_t> type = ParseTypeName(*type_);
      if (!type) {
        return Fail("unknown type \"" + *type_ +
                    "\": use REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD or REG_BINARY");
      }
      r.type = *type;
    }
    std::string error;
    if (!EncodeData(r.type, data_, &r.data, &error)) return Fail(error);
    return result_;
  }

  const std::vector<std::string>& args_;
  ParsedCommandLine result_;
  std::vector<std::string> positionals_;
  std::optional<std::string> type_;
  std::optional<std::string> data_;
};

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args) {
  return Parser(args).Run();
}

const char* UsageText() {
  return R"(Usage: pellreg COMMAND ARGUMENTS
Edits the Pellam registry store.

  pellreg query KEY [/v NAME | /ve] [/s]
      Shows the key's values and the names of its sub-keys; /v one value,
      /ve the default value, /s every key below as well.
  pellreg add KEY [/v NAME | /ve] [/t TYPE] [/d DATA] [/f]
      Creates the key and the keys on its way; with /v or /ve sets a value.
      TYPE is REG_SZ (the default), REG_EXPAND_SZ, REG_MULTI_SZ (strings
      separated by \0), REG_DWORD (decimal or 0x hex) or REG_BINARY (hex
      digits). /f replaces an existing value without asking.
  pellreg delete KEY [/v NAME | /ve] [/f]
      Deletes one value, or the key with everything below it. /f deletes
      without asking.
  pellreg export KEY FILE [/y]
      Writes the key and everything below it to FILE in the text registry
      format. /y replaces an existing FILE.
  pellreg import FILE
      Writes the keys and values of FILE into the store, after checking all
      of it.

KEY is ROOT\NAME\..., where ROOT is HKLM, HKCU or HKU (or HKEY_LOCAL_MACHINE,
HKEY_CURRENT_USER, HKEY_USERS). Options may also be written with "-".
Exit status: 0 success, 1 the operation failed, 2 wrong usage.
)";
}

}  // namespace pellreg
