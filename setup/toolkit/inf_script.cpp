// The script parser. Destination names are checked here, so that no line of a script
// can place a file outside the directory it is copied into.
#include "inf_script.h"

#include <strings.h>

namespace setup {
namespace {

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

bool PlainFileName(const std::string& name) {
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) return false;
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
  }
  return true;
}

}  // namespace

bool InfScript::Parse(const std::string& text, std::string* error) {
  sections_.clear();
  InfSection* current = nullptr;
  std::size_t at = 0;
  for (int number = 1; at <= text.size(); ++number) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = Trim(text.substr(at, end - at));
    at = end + 1;
    const std::string where = "line " + std::to_string(number) + ": ";
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line.front() == '[') {
      if (line.back() != ']' || Trim(line.substr(1, line.size() - 2)).empty()) {
        *error = where + "a section name is written [name]";
        return false;
      }
      const std::string name = Trim(line.substr(1, line.size() - 2));
      current = nullptr;
      for (InfSection& s : sections_) {
        if (::strcasecmp(s.name.c_str(), name.c_str()) == 0) current = &s;
      }
      if (current == nullptr) current = &sections_.emplace_back(InfSection{name, {}});
      continue;
    }
    if (current == nullptr) {
      *error = where + "a file is listed before any section";
      return false;
    }
    InfFile file;
    const auto equals = line.find('=');
    file.name = Trim(line.substr(0, equals));
    file.source = equals == std::string::npos ? file.name : Trim(line.substr(equals + 1));
    if (!PlainFileName(file.name)) {
      *error = where + "\"" + file.name + "\" is not a plain file name";
      return false;
    }
    if (file.source.empty()) {
      *error = where + "no source is given for \"" + file.name + "\"";
      return false;
    }
    current->files.push_back(file);
  }
  return true;
}

const InfSection* InfScript::Find(const std::string& section) const {
  for (const InfSection& s : sections_) {
    if (::strcasecmp(s.name.c_str(), section.c_str()) == 0) return &s;
  }
  return nullptr;
}

}  // namespace setup
