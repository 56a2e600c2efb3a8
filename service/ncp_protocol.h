// What pellncp and the service say to each other on the DECnet control socket. A
// request is one line of at most kMaxRequest bytes; the answer is lines of text, each
// a tag and its words, ending with "ok" or "error CODE TEXT". Nothing a request can
// say changes the configuration: it shows, or it loops to a node's MIRROR.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace pellam::ncp {

inline constexpr size_t kMaxRequest = 128;  // bytes, the line end included
inline constexpr size_t kMaxReplyLine = 512;
inline constexpr unsigned kMaxLoopCount = 1000;
inline constexpr unsigned kMaxLoopLength = 4096;
inline constexpr unsigned kDefaultLoopCount = 1;
inline constexpr unsigned kDefaultLoopLength = 40;

// Where the service listens: InRoot of the run directory, and the name there.
std::string SocketDirectory();
inline constexpr char kSocketName[] = "decnet.sock";
std::string SocketPath();

enum class RequestKind { kShowExecutor, kShowCircuit, kShowKnownNodes, kLoop };

struct Request {
  RequestKind kind = RequestKind::kShowExecutor;
  std::string node;  // kLoop: a node name or an "area.node" address
  unsigned count = kDefaultLoopCount;
  unsigned length = kDefaultLoopLength;
  friend bool operator==(const Request&, const Request&) = default;
};

// The one spelling of each request, without the line end:
//   "show executor", "show circuit", "show known nodes",
//   "loop NODE COUNT LENGTH" (NODE 1 to 15 letters, digits and dots; COUNT 1 to
//   kMaxLoopCount; LENGTH 1 to kMaxLoopLength; decimal without leading zeros).
// Anything else, another spelling included, is refused, so that an accepted line
// formats back to itself.
std::optional<Request> ParseRequest(std::string_view line);
std::string FormatRequest(const Request& request);

// The codes of an "error" line, which pellncp turns into its texts and exit codes.
inline constexpr char kErrorUnconfigured[] = "unconfigured";  // no usable DECnet configuration
inline constexpr char kErrorNotRunning[] = "not-running";     // configured, but the node is not up
inline constexpr char kErrorUnknownNode[] = "unknown-node";  // TEXT: the name asked for
inline constexpr char kErrorUnreachable[] = "unreachable";    // TEXT: the node, "1.1 (ALPHA)"
inline constexpr char kErrorFailed[] = "failed";              // the peer refused or answered wrongly
inline constexpr char kErrorBadRequest[] = "bad-request";
inline constexpr char kErrorBusy[] = "busy";                  // too many clients at once

// One answer line: "tag word..." split at its first blank.
struct ReplyLine {
  std::string tag;
  std::string rest;
};
ReplyLine SplitReplyLine(std::string_view line);

// Replaces control characters with blanks, so that a text from the network or the
// registry can never end a line early or start a new one.
std::string OneLineText(std::string_view text);

}  // namespace pellam::ncp
