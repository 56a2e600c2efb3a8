// What the service makes of a control file's text and of a peer's refusal before and
// after a MAIL-11 link: the body split into lines, the sender's record from a From
// line, a refusal quoted for the error report. Invariants: the lines put back
// together give the text; no line holds a line end; the sender's record holds no line
// end when its inputs hold none; a refusal is bounded and its only control
// characters are tabs and the CR LF between records.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "remote_delivery.h"

using namespace pellam;

namespace {

void CheckBody(const std::string& text) {
  mail11::BodySource body = service::BodyLines(text);
  std::string joined, line;
  size_t count = 0;
  for (;;) {
    const mail11::NextLine next = body(line);
    if (next == mail11::NextLine::kEnd) break;
    FUZZ_CHECK(next == mail11::NextLine::kLine);
    FUZZ_CHECK(line.find('\n') == std::string::npos);
    FUZZ_CHECK(++count <= text.size());
    if (count > 1) joined += '\n';
    joined += line;
  }
  // The text with every CR LF read as LF, less one final line end.
  std::string expected;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    expected += text[i];
  }
  if (!expected.empty() && expected.back() == '\n') expected.pop_back();
  FUZZ_CHECK(joined == expected);
}

void CheckSender(const std::string& address, const std::string& from_line) {
  const std::string record = service::SenderRecord(address, from_line, "HERE");
  FUZZ_CHECK(!record.empty());
  if (address.find_first_of("\r\n") == std::string::npos) {
    FUZZ_CHECK(record.find_first_of("\r\n") == std::string::npos);
  }
}

void CheckRefusal(const std::vector<std::string>& records) {
  mail11::Status status;
  status.condition = 0x007e8112;
  status.text = records;
  const std::string text = service::RefusalText("BRAVO", status);
  FUZZ_CHECK(!text.empty());
  FUZZ_CHECK(text.size() <= 4096 + 64);
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\r') {
      FUZZ_CHECK(i + 1 < text.size() && text[i + 1] == '\n');
    } else if (c == '\n') {
      FUZZ_CHECK(i > 0 && text[i - 1] == '\r');
    } else {
      FUZZ_CHECK(c >= 0x20 || c == '\t');
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  CheckBody(input);
  // The From line is a C string in the service: cut at the first NUL; its first part,
  // up to a blank, stands for the address the header reader found.
  const std::string from_line = input.substr(0, input.find('\0'));
  CheckSender(from_line.substr(0, from_line.find(' ')), from_line);
  std::vector<std::string> records;
  size_t at = 0;
  while (at <= input.size() && records.size() < 64) {
    const size_t end = input.find('\x01', at);
    records.push_back(input.substr(at, end == std::string::npos ? std::string::npos : end - at));
    if (end == std::string::npos) break;
    at = end + 1;
  }
  CheckRefusal(records);
  return 0;
}
