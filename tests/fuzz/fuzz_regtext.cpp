// Fuzzes pellreg's reader of the text registry format. Checked: a refused text gives no
// operations and names a line of the text; an accepted text can always be written
// back, and that text reads as the same operations and writes as itself again.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "pellreg/reg_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  pellreg::ParsedRegText parsed = pellreg::ParseRegText(text);
  if (parsed.error) {
    FUZZ_CHECK(parsed.operations.empty());
    int lines = 1;
    for (char c : text) lines += c == '\n';
    FUZZ_CHECK(parsed.error->line >= 1 && parsed.error->line <= lines);
    FUZZ_CHECK(!parsed.error->message.empty());
    return 0;
  }
  std::string written, error;
  FUZZ_CHECK(pellreg::WriteRegText(parsed.operations, &written, &error));
  pellreg::ParsedRegText again = pellreg::ParseRegText(written);
  FUZZ_CHECK(!again.error);
  FUZZ_CHECK(again.operations == parsed.operations);
  std::string rewritten;
  FUZZ_CHECK(pellreg::WriteRegText(again.operations, &rewritten, &error));
  FUZZ_CHECK(rewritten == written);
  return 0;
}
