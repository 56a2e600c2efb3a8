// The control socket's requests: one canonical spelling each, read strictly, since the
// service reads them from any local user.
#include "ncp_protocol.h"

#include <charconv>
#include <vector>

#include "platform/sandbox.h"

namespace pellam::ncp {
namespace {

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  size_t start = 0;
  for (size_t i = 0; i <= line.size(); ++i) {
    if (i == line.size() || line[i] == ' ') {
      words.push_back(line.substr(start, i - start));
      start = i + 1;
    }
  }
  return words;
}

// Decimal 1..max without sign or leading zero.
std::optional<unsigned> Number(std::string_view word, unsigned max) {
  if (word.empty() || word.size() > 5 || word[0] == '0') return std::nullopt;
  unsigned value = 0;
  const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (error != std::errc() || end != word.data() + word.size() || value > max) return std::nullopt;
  return value;
}

bool IsNodeWord(std::string_view word) {
  if (word.empty() || word.size() > 15) return false;
  for (char c : word) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.';
    if (!ok) return false;
  }
  return true;
}

}  // namespace

std::string SocketDirectory() { return platform::InRoot("/run/pellam"); }
std::string SocketPath() { return SocketDirectory() + "/" + kSocketName; }

std::optional<Request> ParseRequest(std::string_view line) {
  if (line.size() >= kMaxRequest) return std::nullopt;
  const std::vector<std::string_view> w = Words(line);
  Request r;
  if (w.size() == 2 && w[0] == "show" && w[1] == "executor") {
    r.kind = RequestKind::kShowExecutor;
  } else if (w.size() == 2 && w[0] == "show" && w[1] == "circuit") {
    r.kind = RequestKind::kShowCircuit;
  } else if (w.size() == 3 && w[0] == "show" && w[1] == "known" && w[2] == "nodes") {
    r.kind = RequestKind::kShowKnownNodes;
  } else if (w.size() == 4 && w[0] == "loop" && IsNodeWord(w[1])) {
    const auto count = Number(w[2], kMaxLoopCount);
    const auto length = Number(w[3], kMaxLoopLength);
    if (!count || !length) return std::nullopt;
    r.kind = RequestKind::kLoop;
    r.node = std::string(w[1]);
    r.count = *count;
    r.length = *length;
  } else {
    return std::nullopt;
  }
  return r;
}

std::string FormatRequest(const Request& request) {
  switch (request.kind) {
    case RequestKind::kShowExecutor: return "show executor";
    case RequestKind::kShowCircuit: return "show circuit";
    case RequestKind::kShowKnownNodes: return "show known nodes";
    case RequestKind::kLoop:
      return "loop " + request.node + " " + std::to_string(request.count) + " " + std::to_string(request.length);
  }
  return {};
}

ReplyLine SplitReplyLine(std::string_view line) {
  const size_t blank = line.find(' ');
  if (blank == std::string_view::npos) return {std::string(line), {}};
  return {std::string(line.substr(0, blank)), std::string(line.substr(blank + 1))};
}

std::string OneLineText(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
  }
  return out;
}

}  // namespace pellam::ncp
