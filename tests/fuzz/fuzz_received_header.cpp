// The header section of a message received by MAIL-11, built from arbitrary sender,
// To, CC and Subject records. Invariants: the From route names the calling node and
// passes at least one hop; a personal name kept passes CheckPNameIn; the section is
// CR LF lines without NULs, ends in its one empty line, and the library's header
// reader reads it whole with From, To and Subject present.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "pellam.h"
#include "received_message.h"

using namespace pellam::service;

namespace {

// Splits the input at 0xFF bytes into up to four fields.
std::string_view Field(std::string_view& rest) {
  const size_t end = rest.find('\xff');
  const std::string_view field = rest.substr(0, end);
  rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  return field;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  const std::string_view sender = Field(rest);
  IncomingHeader header = FromSenderRecord("ALPHA", sender);
  header.to = Field(rest);
  header.cc = Field(rest);
  header.subject = rest;
  FUZZ_CHECK(header.route.rfind("ALPHA::", 0) == 0);
  FUZZ_CHECK(header.route.size() > 7);
  FUZZ_CHECK(RouteHops(header.route) >= 1);
  FUZZ_CHECK(header.personal.empty() || CheckPNameIn(header.personal.c_str()) == 0);

  for (const std::string& prefix : {std::string(), std::string("BRAVO::")}) {
    const std::string fields = HeaderFields(header, prefix);
    FUZZ_CHECK(fields.find('\0') == std::string::npos);
    for (size_t i = 0; i < fields.size(); ++i) {
      if (fields[i] == '\n') FUZZ_CHECK(i > 0 && fields[i - 1] == '\r');
      if (fields[i] == '\r') FUZZ_CHECK(i + 1 < fields.size() && fields[i + 1] == '\n');
    }
    FUZZ_CHECK(fields.size() >= 4 && fields.compare(fields.size() - 4, 4, "\r\n\r\n") == 0);
    FUZZ_CHECK(fields.find("\r\n\r\n") == fields.size() - 4);
    static const char* const kNames[] = {"From", "To", "Subject"};
    char* values[3] = {};
    const char* text = fields.data();
    int32_t length = static_cast<int32_t>(fields.size());
    FUZZ_CHECK(GetMailHeaders(&text, &length, 3, kNames, values) == 0);
    FUZZ_CHECK(length == 0);
    FUZZ_CHECK(values[0] != nullptr && std::string(values[0]).rfind(prefix + "ALPHA::", 0) == 0);
    FreeMailHeaders(3, values);
  }
  return 0;
}
