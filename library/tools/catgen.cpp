// Turns the status-code catalogue (catalogue.tsv) into the public status-code header
// and the text table that GetErrorText searches.
//
// Each line of the catalogue: code (hex) TAB name (or "-") TAB text. The text is
// written as it appears in a C string (line breaks inside it as \r\n); the final CR LF
// of every text is added here. Lines that are empty or start with "#" are comments.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Entry {
  uint32_t code;
  std::string name;
  std::string text;
  int line;
};

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '"') out += '\\';
    out += c;
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: catgen CATALOGUE STATUS_HEADER TABLE\n";
    return 2;
  }
  std::ifstream in(argv[1]);
  if (!in) {
    std::cerr << "catgen: cannot read " << argv[1] << "\n";
    return 1;
  }
  std::vector<Entry> entries;
  std::map<uint32_t, int> seen;
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (line.empty() || line[0] == '#') continue;
    auto tab1 = line.find('\t');
    auto tab2 = tab1 == std::string::npos ? tab1 : line.find('\t', tab1 + 1);
    if (tab2 == std::string::npos) {
      std::cerr << argv[1] << ":" << number << ": expected code, name and text\n";
      return 1;
    }
    char* end = nullptr;
    unsigned long code = std::strtoul(line.c_str(), &end, 16);
    if (end != line.c_str() + tab1 || code > 0xFFFFFFFFUL) {
      std::cerr << argv[1] << ":" << number << ": bad code\n";
      return 1;
    }
    if (!seen.emplace(static_cast<uint32_t>(code), number).second) {
      std::cerr << argv[1] << ":" << number << ": code listed twice\n";
      return 1;
    }
    entries.push_back({static_cast<uint32_t>(code), line.substr(tab1 + 1, tab2 - tab1 - 1),
                       line.substr(tab2 + 1), number});
  }

  std::ostringstream header;
  header << "/* Generated from catalogue.tsv by catgen: do not edit. */\n"
            "#ifndef PELLAM_STATUS_H\n#define PELLAM_STATUS_H\n\n";
  for (const Entry& e : entries) {
    if (e.name == "-") continue;
    char value[16];
    std::snprintf(value, sizeof value, "0x%08XU", e.code);
    header << "#define " << e.name << " " << value << "\n";
  }
  header << "\n#endif /* PELLAM_STATUS_H */\n";

  // The table is searched by code: sort it.
  std::vector<Entry> sorted = entries;
  std::sort(sorted.begin(), sorted.end(), [](const Entry& a, const Entry& b) { return a.code < b.code; });

  std::ostringstream table;
  table << "// Generated from catalogue.tsv by catgen: do not edit.\n";
  for (const Entry& e : sorted) {
    char value[16];
    std::snprintf(value, sizeof value, "0x%08XU", e.code);
    table << "{" << value << ", \"" << Escape(e.text) << "\\r\\n\"},\n";
  }

  std::ofstream h(argv[2], std::ios::trunc), t(argv[3], std::ios::trunc);
  h << header.str();
  t << table.str();
  if (!h || !t) {
    std::cerr << "catgen: cannot write the outputs\n";
    return 1;
  }
  return 0;
}
