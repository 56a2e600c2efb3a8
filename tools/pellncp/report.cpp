// Labels and layout of the displays.
#include "report.h"

#include <algorithm>
#include <cstdio>
#include <numeric>

namespace pellncp {
namespace {

struct Label {
  const char* key;
  const char* text;
  const char* group;  // a heading printed before this field, or null
};

constexpr Label kLabels[] = {
    {"state", "State", nullptr},
    {"identification", "Identification", nullptr},
    {"active-links", "Active links", nullptr},
    {"circuit", "Circuit", ""},
    {"circuit-state", "Circuit state", nullptr},
    {"adjacent-node", "Adjacent node", nullptr},
    {"adjacent-type", "Adjacent node type", nullptr},
    {"circuit-detail", "Circuit detail", nullptr},
    {"packets-sent", "  Packets sent", "Counters:"},
    {"packets-received", "  Packets received", nullptr},
    {"bytes-sent", "  Bytes sent", nullptr},
    {"bytes-received", "  Bytes received", nullptr},
    {"malformed-packets", "  Malformed packets", nullptr},
    {"connects-sent", "  Connects sent", nullptr},
    {"connects-received", "  Connects received", nullptr},
    {"connects-refused", "  Connects refused", nullptr},
    {"retransmissions", "  Retransmissions", nullptr},
    {"adjacency-ups", "  Adjacency ups", nullptr},
    {"adjacency-downs", "  Adjacency downs", nullptr},
};

std::string Line(const std::string& label, const std::string& value) {
  std::string line = label;
  if (line.size() < 25) line.resize(25, ' ');
  return line + "= " + value + "\n";
}

std::string Value(const Fields& fields, const std::string& key) {
  for (const auto& [k, v] : fields) {
    if (k == key) return v;
  }
  return {};
}

std::string Body(const Fields& fields, const std::vector<std::string>& skip) {
  std::string text;
  for (const auto& [key, value] : fields) {
    if (std::find(skip.begin(), skip.end(), key) != skip.end()) continue;
    const Label* label = nullptr;
    for (const Label& l : kLabels) {
      if (key == l.key) label = &l;
    }
    if (label && label->group) text += std::string("\n") + (*label->group ? std::string(label->group) + "\n" : "");
    text += Line(label ? label->text : key, value);
  }
  return text;
}

}  // namespace

std::string DisplayTime(std::time_t when) {
  static const char* const kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                        "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
  std::tm tm{};
  localtime_r(&when, &tm);
  char text[40];
  std::snprintf(text, sizeof text, "%d-%s-%04d %02d:%02d:%02d", tm.tm_mday, kMonths[tm.tm_mon % 12],
                tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
  return text;
}

std::string ExecutorReport(const Fields& fields, const std::string& when) {
  std::string name = Value(fields, "name");
  std::string text = "Node Volatile Summary as of " + when + "\n\n";
  text += Line("Executor node", Value(fields, "address") + (name.empty() ? "" : " (" + name + ")"));
  text += "\n";
  return text + Body(fields, {"address", "name"});
}

std::string CircuitReport(const Fields& fields, const std::string& when) {
  return "Circuit Volatile Summary as of " + when + "\n" + Body(fields, {});
}

std::string KnownNodesReport(const std::vector<std::pair<std::string, std::string>>& nodes, const std::string& when) {
  std::string text = "Known Nodes Volatile Summary as of " + when + "\n\n";
  text += "    Node           Name\n";
  for (const auto& [address, name] : nodes) {
    std::string line = "    " + address;
    line.resize(std::max<size_t>(line.size() + 1, 19), ' ');
    text += line + name + "\n";
  }
  text += "\n" + std::to_string(nodes.size()) + (nodes.size() == 1 ? " node\n" : " nodes\n");
  return text;
}

std::string LoopSummary(const std::string& target, unsigned asked, const std::vector<long>& micros) {
  char text[256];
  if (micros.empty()) {
    std::snprintf(text, sizeof text, "Loop to %s: 0 of %u answered\n", target.c_str(), asked);
    return text;
  }
  const auto [low, high] = std::minmax_element(micros.begin(), micros.end());
  const double average = static_cast<double>(std::accumulate(micros.begin(), micros.end(), 0L)) /
                         static_cast<double>(micros.size());
  std::snprintf(text, sizeof text,
                "Loop to %s: %zu of %u answered, round trip min/avg/max = %.3f/%.3f/%.3f ms\n",
                target.c_str(), micros.size(), asked, static_cast<double>(*low) / 1000.0, average / 1000.0,
                static_cast<double>(*high) / 1000.0);
  return text;
}

}  // namespace pellncp
