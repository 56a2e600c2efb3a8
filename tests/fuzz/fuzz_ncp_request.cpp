// Fuzzes the service's decoder of control-socket requests, which any local user may
// send. Checked: an accepted line is the one spelling of its request (it formats back
// to itself and parses again to the same request) and stays within the limits; the
// answer helpers keep any text on one line.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "ncp_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  namespace ncp = pellam::ncp;
  if (const auto request = ncp::ParseRequest(line)) {
    const std::string text = ncp::FormatRequest(*request);
    FUZZ_CHECK(text == line);
    FUZZ_CHECK(ncp::ParseRequest(text) == request);
    FUZZ_CHECK(text.size() < ncp::kMaxRequest);
    if (request->kind == ncp::RequestKind::kLoop) {
      FUZZ_CHECK(request->count >= 1 && request->count <= ncp::kMaxLoopCount);
      FUZZ_CHECK(request->length >= 1 && request->length <= ncp::kMaxLoopLength);
      FUZZ_CHECK(!request->node.empty() && request->node.size() <= 15);
    }
  }
  const std::string one = ncp::OneLineText(line);
  FUZZ_CHECK(one.size() == line.size());
  FUZZ_CHECK(one.find('\n') == std::string::npos && one.find('\r') == std::string::npos);
  const ncp::ReplyLine reply = ncp::SplitReplyLine(line);
  FUZZ_CHECK(reply.tag.find(' ') == std::string::npos);
  FUZZ_CHECK(reply.tag.size() + reply.rest.size() + (line.find(' ') == std::string_view::npos ? 0 : 1) == line.size());
  return 0;
}
