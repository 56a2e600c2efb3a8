// Parsing pellncp's words. Numbers are decimal and within the service's limits, so a
// request that leaves here is one the service accepts.
#include "command_line.h"

#include <cctype>
#include <charconv>

namespace pellncp {
namespace {

using pellam::ncp::Request;
using pellam::ncp::RequestKind;

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Is `word` the keyword `keyword`, whole or cut to at least three letters?
bool Is(const std::string& word, const std::string& keyword) {
  const std::string w = Lower(word);
  return w.size() >= std::min<size_t>(3, keyword.size()) && w.size() <= keyword.size() &&
         keyword.compare(0, w.size(), w) == 0;
}

bool Number(const std::string& word, unsigned max, unsigned* value) {
  if (word.empty() || word.size() > 6) return false;
  const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), *value);
  return error == std::errc() && end == word.data() + word.size() && *value >= 1 && *value <= max;
}

bool IsNodeText(const std::string& word) {
  if (word.empty() || word.size() > 15) return false;
  for (char c : word) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.') return false;
  }
  return true;
}

CommandLine Fail(std::string error) {
  CommandLine c;
  c.error = std::move(error);
  return c;
}

CommandLine Loop(const std::vector<std::string>& args) {
  if (args.size() < 2 || !Is(args[1], "node")) return Fail("loop: say \"loop node NAME\"");
  if (args.size() < 3) return Fail("loop node: the node's name or address is missing");
  if (!IsNodeText(args[2])) return Fail("loop node: \"" + args[2] + "\" is not a node name or address");
  CommandLine c;
  c.action = Action::kRequest;
  c.request.kind = RequestKind::kLoop;
  c.request.node = args[2];
  for (size_t i = 3; i < args.size(); i += 2) {
    const bool count = Is(args[i], "count");
    if (!count && !Is(args[i], "length")) return Fail("loop node: unknown parameter \"" + args[i] + "\"");
    if (i + 1 >= args.size()) return Fail("loop node: " + Lower(args[i]) + " needs a number");
    const unsigned max = count ? pellam::ncp::kMaxLoopCount : pellam::ncp::kMaxLoopLength;
    unsigned value = 0;
    if (!Number(args[i + 1], max, &value)) {
      return Fail(std::string("loop node: ") + (count ? "count" : "length") + " must be a number from 1 to " +
                  std::to_string(max));
    }
    (count ? c.request.count : c.request.length) = value;
  }
  return c;
}

CommandLine Show(const std::vector<std::string>& args) {
  CommandLine c;
  c.action = Action::kRequest;
  if (args.size() == 2 && Is(args[1], "executor")) {
    c.request.kind = RequestKind::kShowExecutor;
  } else if (args.size() == 2 && Is(args[1], "circuit")) {
    c.request.kind = RequestKind::kShowCircuit;
  } else if (args.size() == 3 && Is(args[1], "known") && Is(args[2], "nodes")) {
    c.request.kind = RequestKind::kShowKnownNodes;
  } else {
    return Fail("show: say \"show executor\", \"show circuit\" or \"show known nodes\"");
  }
  return c;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  if (args.empty()) return Fail("a command is missing");
  if (args[0] == "--help" || args[0] == "-h") {
    if (args.size() > 1) return Fail("--help takes nothing after it");
    return CommandLine{};
  }
  if (args[0] == "--version") {
    if (args.size() > 1) return Fail("--version takes nothing after it");
    CommandLine c;
    c.action = Action::kVersion;
    return c;
  }
  if (Is(args[0], "show")) return Show(args);
  if (Is(args[0], "loop")) return Loop(args);
  return Fail("unknown command \"" + args[0] + "\"");
}

const char* UsageText() {
  return "usage:  pellncp show executor\n"
         "        pellncp show circuit\n"
         "        pellncp show known nodes\n"
         "        pellncp loop node NAME [count N] [length L]\n"
         "        pellncp --help | --version\n"
         "    Shows the state of this machine's DECnet node, run by the Pellam service,\n"
         "    and loops test messages to a node's MIRROR object. Keywords may be cut\n"
         "    to three letters. NAME is a node name or an area.node address; the loop\n"
         "    sends N messages (1 to 1000, default 1) of L bytes (1 to 4096, default 40).\n"
         "    --help        show this text\n"
         "    --version     show the version\n"
         "    Exit codes: 0 done, 1 node unreachable or loop failed, 2 bad arguments,\n"
         "    3 unknown node, 4 no DECnet configuration, 5 service not running.\n";
}

}  // namespace pellncp
