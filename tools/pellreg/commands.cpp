// The five commands of pellreg; see commands.h.
#include "pellreg/commands.h"

#include <cctype>
#include <istream>
#include <optional>
#include <ostream>

#include "pellreg/reg_text.h"
#include "pellreg/store.h"
#include "pellreg/text_file.h"
#include "platform/errors.h"

#ifndef PELLREG_VERSION
#error "PELLREG_VERSION must be defined by the build"
#endif

namespace pellreg {
namespace {

using platform::HKEY;
using platform::UniqueKey;

// Names in a message may come from the store or the command line with a line break
// in them; the message stays one line.
int Failure(Console& console, const std::string& message) {
  console.err << "pellreg: " << Printable(message) << "\n";
  return kExitFailure;
}

// "the key K does not exist" for a missing key, otherwise "cannot VERB K: text".
int KeyFailure(Console& console, const char* verb, const KeyPath& key, uint32_t code) {
  if (code == ERROR_FILE_NOT_FOUND) return Failure(console, "the key " + FullName(key) + " does not exist");
  return Failure(console, std::string("cannot ") + verb + " " + FullName(key) + ": " + CodeText(code));
}

std::string ValueLabel(const std::string& name) {
  return name.empty() ? "the default value" : "the value \"" + name + "\"";
}

// Asks, or refuses when nobody can be asked; true to go on.
bool Confirmed(Console& console, const std::string& question, const std::string& refusal,
               int* status) {
  if (!console.ask) {
    *status = Failure(console, refusal);
    return false;
  }
  if (!console.ask(question)) {
    *status = Failure(console, "the operation was cancelled");
    return false;
  }
  return true;
}

void PrintValue(std::ostream& out, const StoredValue& value) {
  out << "    " << DisplayName(value.name) << "    " << TypeName(value.type) << "    "
      << DisplayData(value.type, value.data) << "\n";
}

uint32_t PrintKeyBlock(std::ostream& out, const KeyPath& path, HKEY key) {
  std::vector<StoredValue> values;
  uint32_t rc = ReadValues(key, &values);
  if (rc != ERROR_SUCCESS) return rc;
  out << FullName(path) << "\n";
  for (const StoredValue& value : values) PrintValue(out, value);
  out << "\n";
  return ERROR_SUCCESS;
}

int QueryTree(const Request& r, Console& console) {
  int matches = 0;
  KeyPath failed_at;
  uint32_t rc = WalkTree(
      r.key,
      [&](const KeyPath& path, HKEY key) -> uint32_t {
        if (!r.value_name) return PrintKeyBlock(console.out, path, key);
        StoredValue value;
        uint32_t read = ReadValue(key, *r.value_name, &value);
        if (read == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
        if (read != ERROR_SUCCESS) return read;
        ++matches;
        console.out << FullName(path) << "\n";
        PrintValue(console.out, value);
        console.out << "\n";
        return ERROR_SUCCESS;
      },
      &failed_at);
  if (rc != ERROR_SUCCESS) return KeyFailure(console, "read", failed_at, rc);
  if (r.value_name && matches == 0) {
    return Failure(console, ValueLabel(*r.value_name) + " does not exist in " + FullName(r.key) +
                                " or below it");
  }
  return kExitSuccess;
}

int ApplyOperations(const std::string& file, const std::vector<RegOperation>& operations,
                    Console& console) {
  using Kind = RegOperation::Kind;
  std::optional<UniqueKey> current;  // the key of the section being written
  KeyPath current_path;
  for (const RegOperation& op : operations) {
    const std::string where = file + ", line " + std::to_string(op.line) + ": ";
    uint32_t rc = ERROR_SUCCESS;
    KeyPath failed_at = op.key;
    if (op.kind == Kind::kDeleteKey) {
      current.reset();
      rc = DeleteKeyTree(op.key, &failed_at);
      if (rc == ERROR_FILE_NOT_FOUND && failed_at == op.key) rc = ERROR_SUCCESS;  // already gone
      if (rc != ERROR_SUCCESS) {
        return Failure(console, where + "cannot delete " + FullName(failed_at) + ": " + CodeText(rc));
      }
      continue;
    }
    if (!current || !(current_path == op.key)) {
      current.emplace();
      rc = CreateKey(op.key, &*current);
      current_path = op.key;
    }
    if (rc == ERROR_SUCCESS && op.kind == Kind::kSetValue) {
      rc = platform::RegSetValueEx(current->get(), op.value_name.c_str(), op.type, op.data.data(),
                                   static_cast<uint32_t>(op.data.size()));
    } else if (rc == ERROR_SUCCESS && op.kind == Kind::kDeleteValue) {
      rc = platform::RegDeleteValue(current->get(), op.value_name.c_str());
      if (rc == ERROR_FILE_NOT_FOUND) rc = ERROR_SUCCESS;  // already gone
    }
    if (rc != ERROR_SUCCESS) {
      return Failure(console, where + "cannot write " + FullName(op.key) + ": " + CodeText(rc));
    }
  }
  return kExitSuccess;
}

}  // namespace

bool AskYesNo(std::istream& in, std::ostream& out, const std::string& question) {
  std::string answer;
  while (true) {
    out << question << " " << std::flush;
    if (!std::getline(in, answer)) {
      out << "\n";
      return false;
    }
    std::string word;
    for (char c : answer) {
      if (!std::isspace(static_cast<unsigned char>(c))) {
        word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      }
    }
    if (word == "y" || word == "yes") return true;
    if (word == "n" || word == "no") return false;
  }
}

int Query(const Request& r, Console& console) {
  if (r.recursive) return QueryTree(r, console);
  UniqueKey key;
  uint32_t rc = OpenKey(r.key, platform::KEY_READ, &key);
  if (rc != ERROR_SUCCESS) return KeyFailure(console, "read", r.key, rc);
  if (r.value_name) {
    StoredValue value;
    rc = ReadValue(key.get(), *r.value_name, &value);
    if (rc == ERROR_FILE_NOT_FOUND) {
      return Failure(console, ValueLabel(*r.value_name) + " does not exist in " + FullName(r.key));
    }
    if (rc != ERROR_SUCCESS) return KeyFailure(console, "read", r.key, rc);
    console.out << FullName(r.key) << "\n";
    PrintValue(console.out, value);
    return kExitSuccess;
  }
  std::vector<std::string> names;
  std::vector<StoredValue> values;
  rc = ReadValues(key.get(), &values);
  if (rc == ERROR_SUCCESS) rc = ReadSubKeyNames(key.get(), &names);
  if (rc != ERROR_SUCCESS) return KeyFailure(console, "read", r.key, rc);
  console.out << FullName(r.key) << "\n";
  for (const StoredValue& value : values) PrintValue(console.out, value);
  console.out << "\n";
  for (const std::string& name : names) console.out << FullName(ChildKey(r.key, name)) << "\n";
  return kExitSuccess;
}

int Add(const Request& r, Console& console) {
  UniqueKey key;
  uint32_t rc = CreateKey(r.key, &key);
  if (rc != ERROR_SUCCESS) return KeyFailure(console, "write", r.key, rc);
  if (!r.value_name) return kExitSuccess;
  const std::string& name = *r.value_name;
  uint32_t size = 0;
  rc = platform::RegQueryValueEx(key.get(), name.c_str(), nullptr, nullptr, &size);
  if (rc == ERROR_SUCCESS && !r.force) {
    int status = kExitFailure;
    if (!Confirmed(console, "Value " + DisplayName(name) + " exists, overwrite(Yes/No)?",
                   ValueLabel(name) + " exists in " + FullName(r.key) + "; give /f to replace it",
                   &status)) {
      return status;
    }
  } else if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) {
    return KeyFailure(console, "read", r.key, rc);
  }
  rc = platform::RegSetValueEx(key.get(), name.c_str(), r.type, r.data.data(),
                               static_cast<uint32_t>(r.data.size()));
  if (rc != ERROR_SUCCESS) return KeyFailure(console, "write", r.key, rc);
  return kExitSuccess;
}

int Delete(const Request& r, Console& console) {
  int status = kExitFailure;
  if (r.value_name) {
    const std::string& name = *r.value_name;
    UniqueKey key;
    uint32_t rc = OpenKey(r.key, platform::KEY_QUERY_VALUE | platform::KEY_SET_VALUE, &key);
    if (rc != ERROR_SUCCESS) return KeyFailure(console, "write", r.key, rc);
    uint32_t size = 0;
    rc = platform::RegQueryValueEx(key.get(), name.c_str(), nullptr, nullptr, &size);
    if (rc == ERROR_FILE_NOT_FOUND) {
      return Failure(console, ValueLabel(name) + " does not exist in " + FullName(r.key));
    }
    if (rc != ERROR_SUCCESS) return KeyFailure(console, "read", r.key, rc);
    if (!r.force && !Confirmed(console, "Delete the registry value " + DisplayName(name) + " (Yes/No)?",
                               "give /f to delete " + ValueLabel(name) + " of " + FullName(r.key) +
                                   " without being asked",
                               &status)) {
      return status;
    }
    rc = platform::RegDeleteValue(key.get(), name.c_str());
    if (rc != ERROR_SUCCESS) return KeyFailure(console, "write", r.key, rc);
    return kExitSuccess;
  }
  {
    UniqueKey key;
    uint32_t rc = OpenKey(r.key, platform::KEY_READ, &key);
    if (rc != ERROR_SUCCESS) return KeyFailure(console, "read", r.key, rc);
  }
  if (!r.force &&
      !Confirmed(console, "Permanently delete the registry key " + FullName(r.key) + " (Yes/No)?",
                 "give /f to delete " + FullName(r.key) + " without being asked", &status)) {
    return status;
  }
  KeyPath failed_at;
  uint32_t rc = DeleteKeyTree(r.key, &failed_at);
  if (rc != ERROR_SUCCESS) return KeyFailure(console, "delete", failed_at, rc);
  return kExitSuccess;
}

int Export(const Request& r, Console& console) {
  std::vector<RegOperation> operations;
  KeyPath failed_at;
  uint32_t rc = WalkTree(
      r.key,
      [&](const KeyPath& path, HKEY key) -> uint32_t {
        std::vector<StoredValue> values;
        uint32_t read = ReadValues(key, &values);
        if (read != ERROR_SUCCESS) return read;
        RegOperation op;
        op.key = path;
        operations.push_back(op);
        op.kind = RegOperation::Kind::kSetValue;
        for (StoredValue& value : values) {
          op.value_name = std::move(value.name);
          op.type = value.type;
          op.data = std::move(value.data);
          operations.push_back(op);
        }
        return ERROR_SUCCESS;
      },
      &failed_at);
  if (rc != ERROR_SUCCESS) return KeyFailure(console, "read", failed_at, rc);
  std::string text;
  std::string error;
  if (!WriteRegText(operations, &text, &error)) {
    return Failure(console, "cannot export " + FullName(r.key) + ": " + error);
  }
  WriteOutcome written = WriteTextFile(r.file, text, r.replace_file);
  if (!written.ok) return Failure(console, written.error);
  return kExitSuccess;
}

int Import(const Request& r, Console& console) {
  std::string text;
  std::string error;
  if (!ReadTextFile(r.file, &text, &error)) return Failure(console, error);
  ParsedRegText parsed = ParseRegText(text);
  if (parsed.error) {
    return Failure(console, r.file + ", line " + std::to_string(parsed.error->line) + ": " +
                                parsed.error->message);
  }
  return ApplyOperations(r.file, parsed.operations, console);
}

int Run(const std::vector<std::string>& args, Console& console) {
  ParsedCommandLine parsed = ParseCommandLine(args);
  if (!parsed.error.empty()) {
    console.err << "pellreg: " << Printable(parsed.error) << "\n";
    if (parsed.show_usage) console.out << UsageText();
    return kExitUsage;
  }
  const Request& r = parsed.request;
  switch (r.command) {
    case Command::kHelp:
      console.out << UsageText();
      return kExitSuccess;
    case Command::kVersion:
      console.out << "pellreg " << PELLREG_VERSION << "\n";
      return kExitSuccess;
    case Command::kQuery:
      return Query(r, console);
    case Command::kAdd:
      return Add(r, console);
    case Command::kDelete:
      return Delete(r, console);
    case Command::kExport:
      return Export(r, console);
    case Command::kImport:
      return Import(r, console);
  }
  return kExitUsage;
}

}  // namespace pellreg
