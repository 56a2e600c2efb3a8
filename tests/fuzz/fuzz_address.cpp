// Fuzzes the address routines over one text: the list is walked with ScanAddr as the
// composition calls walk it, and every token goes through ParseAddr, CheckRemote and
// TrimAddress. Checked: every position stays inside the text, the parts stay inside
// the length given, walks make progress, and CheckPNameOut never grows a name.
#include <cstdint>
#include <cstring>
#include <memory>

#include "fuzz_check.h"
#include "pellam.h"

namespace {

// The text up to the first NUL, in a block of exactly its size, so that a read past
// the terminator is a read past the allocation.
std::unique_ptr<char[]> ExactText(const uint8_t* data, size_t size, size_t* length) {
  const auto* nul = static_cast<const uint8_t*>(std::memchr(data, 0, size));
  *length = nul != nullptr ? static_cast<size_t>(nul - data) : size;
  auto text = std::make_unique<char[]>(*length + 1);
  std::memcpy(text.get(), data, *length);
  text[*length] = '\0';
  return text;
}

bool Within(const char* p, const char* begin, const char* end) { return p >= begin && p <= end; }

void CheckParse(const char* text, int32_t length, int32_t limit) {
  int32_t no = -1, nl = -1, uo = -1, ul = -1, form = -1;
  const uint32_t status = ParseAddr(text, length, &no, &nl, &uo, &ul, &form);
  FUZZ_CHECK(status == 0 || status == ERR_ADDRESS_SYNTAX || status == ERR_UNBALANCED_QUOTES);
  if (status == ERR_UNBALANCED_QUOTES) {
    FUZZ_CHECK(no == -1 && nl == -1 && uo == -1 && ul == -1 && form == -1);
    return;
  }
  FUZZ_CHECK(form == ADDR_FORM_DECNET || form == ADDR_FORM_EXTERNAL);
  FUZZ_CHECK(no >= 0 && nl >= 0 && uo >= 0 && ul >= 0);
  FUZZ_CHECK(no + nl <= limit && uo + ul <= limit);
  if (status == 0) FUZZ_CHECK(ul > 0 && (form == ADDR_FORM_DECNET || nl > 0));
}

void CheckToken(const char* start, const char* stop) {
  const auto length = static_cast<int32_t>(stop - start);
  CheckParse(start, length, length);

  const char* rest = nullptr;
  int32_t rest_length = -1, kind = 9;
  const uint32_t status = CheckRemote(start, length, &rest, &rest_length, "NODEA", &kind);
  FUZZ_CHECK(status == 0 || status == ERR_ADDRESS_SYNTAX || status == ERR_UNBALANCED_QUOTES);
  FUZZ_CHECK(Within(rest, start, stop) && rest_length >= 0 && rest + rest_length <= stop);
  FUZZ_CHECK(kind == ADDR_LOCAL || kind == ADDR_REMOTE || kind == ADDR_EXTERNAL);
  if (status != 0) FUZZ_CHECK(rest == start && rest_length == length && kind == ADDR_LOCAL);
}

void WalkList(const char* text, const char* text_end) {
  const char* p = text;
  while (*p != '\0') {
    const char *start = nullptr, *end = nullptr, *next = nullptr;
    const uint32_t status = ScanAddr(p, &start, &end, &next, 0);
    FUZZ_CHECK(status == 0 || status == ERR_BLANK_ADDRESS || status == ERR_UNBALANCED_QUOTES ||
               status == ERR_UNBALANCED_PARENS);
    FUZZ_CHECK(Within(start, p, text_end) && Within(end, start, text_end) &&
               Within(next, end, text_end));

    const char *start1 = nullptr, *end1 = nullptr, *next1 = nullptr;
    const uint32_t status1 = ScanAddr(p, &start1, &end1, &next1, 1);
    FUZZ_CHECK(start1 == start && end1 == end && Within(next1, end, next));
    FUZZ_CHECK(status1 == status || status == ERR_UNBALANCED_PARENS);

    if (status == ERR_UNBALANCED_QUOTES || status == ERR_UNBALANCED_PARENS) break;
    FUZZ_CHECK((status == ERR_BLANK_ADDRESS) == (start == end));
    if (start != end) CheckToken(start, end);
    FUZZ_CHECK(next > p);  // every step moves on
    p = next;
  }
}

void CheckTrim(const char* text, const char* text_end) {
  for (int32_t maximum : {0, 8}) {
    const char* start = nullptr;
    int32_t length = -1;
    if (TrimAddress(text, maximum, &start, &length) != 0) continue;
    FUZZ_CHECK(Within(start, text, text_end) && length > 0 && start + length <= text_end);
  }
}

void CheckNames(const char* text, size_t length) {
  const uint32_t in = CheckPNameIn(text);
  FUZZ_CHECK(in == 0 || in == ERR_NAME_CHARACTER || in == ERR_UNBALANCED_PARENS);

  auto copy = std::make_unique<char[]>(length + 1);
  std::memcpy(copy.get(), text, length + 1);
  const uint32_t out = CheckPNameOut(copy.get());
  FUZZ_CHECK(out == 0 || out == ERR_NAME_CHARACTER || out == ERR_NAME_SPACES ||
             out == ERR_NAME_START || out == ERR_UNBALANCED_PARENS);
  const size_t kept = std::strlen(copy.get());
  FUZZ_CHECK(kept <= length);
  for (size_t i = 0; i < kept; ++i) {
    FUZZ_CHECK(copy[i] == text[i] || (text[i] == '"' && copy[i] == '\''));
  }
  if (out != 0) {
    FUZZ_CHECK(kept == length);  // only a passing name loses its trailing blanks
  } else {
    FUZZ_CHECK(std::strchr(copy.get(), '"') == nullptr && std::strchr(copy.get(), '\r') == nullptr);
    // What the check passed, it passes again unchanged.
    FUZZ_CHECK(CheckPNameOut(copy.get()) == 0 && std::strlen(copy.get()) == kept);
  }
}

void CheckParentheses(const char* text, const char* text_end) {
  for (const char* p = text; *p != '\0'; ++p) {
    const char* after = ScanParentheses(p);
    if (*p != '(' && *p != ')') {
      FUZZ_CHECK(after == p);
    } else if (after != nullptr) {
      FUZZ_CHECK(after > p && after <= text_end && after[-1] == ')');
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  size_t length = 0;
  const std::unique_ptr<char[]> text = ExactText(data, size, &length);
  const char* end = text.get() + length;
  WalkList(text.get(), end);
  CheckTrim(text.get(), end);
  const auto whole = static_cast<int32_t>(length);
  CheckParse(text.get(), -1, whole);
  // Lengths beyond the NUL must not lead the parts outside the text.
  CheckParse(text.get(), whole + 5, whole);
  if (size > 0) {
    const auto part = static_cast<int32_t>(data[0] % (whole + 1));
    CheckParse(text.get(), part, part);
  }
  CheckNames(text.get(), length);
  CheckParentheses(text.get(), end);
  return 0;
}
