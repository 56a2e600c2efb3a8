// The address routines against the cases that break address handling: list splitting,
// comments and quotes, the parts of a parsed address, trimming for display, personal
// names and the local-node check. Each row prints what it got beside what it wanted.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pellam.h"
#include "platform/errors.h"

namespace {

// A status as the tables show it: 0, or the catalogue's text for the code.
std::string Status(uint32_t code) {
  if (code == 0) return "0";
  char buffer[256];
  std::string text = GetErrorText(code, buffer, sizeof buffer, nullptr);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
    text.pop_back();
  }
  return text;
}

// Splits a list the way the composition calls walk it: one ScanAddr after another
// from next while text remains, stopping at the first fault that is not a blank entry.
std::string SplitList(const char* list) {
  std::string got;
  const char* p = list;
  while (*p != '\0') {
    const char *start = nullptr, *end = nullptr, *next = nullptr;
    const uint32_t status = ScanAddr(p, &start, &end, &next, 0);
    if (!got.empty()) got += "; ";
    got += "[" + std::string(start, end) + "] " + Status(status);
    if (status != 0 && status != ERR_BLANK_ADDRESS) break;
    if (next <= p) return got + "; NO PROGRESS";
    p = next;
  }
  return got;
}

TEST(ScanAddr, SplitsListsIntoTokens) {
  const std::string ok = " 0", blank = " " + Status(ERR_BLANK_ADDRESS);
  const std::string quotes = " " + Status(ERR_UNBALANCED_QUOTES);
  const std::string parens = " " + Status(ERR_UNBALANCED_PARENS);
  struct Row {
    const char* list;
    std::string want;
  } rows[] = {
      {"SMITH, JONES", "[SMITH]" + ok + "; [JONES]" + ok},
      {"SMITH JONES", "[SMITH]" + ok + "; [JONES]" + ok},
      {"SMITH (Jo Smith), NODEA::JONES", "[SMITH]" + ok + "; [NODEA::JONES]" + ok},
      {"SMITH,,JONES", "[SMITH]" + ok + "; []" + blank + "; [JONES]" + ok},
      {"SMITH, ", "[SMITH]" + ok},
      {"SMITH, ,", "[SMITH]" + ok + "; []" + blank},
      {"   ", "[]" + blank},
      {"", ""},
      {"SMITH (Jo", "[SMITH]" + parens},
      {"SMITH )", "[SMITH]" + parens},
      {"\"a b\", c", "[\"a b\"]" + ok + "; [c]" + ok},
      {"SMITH(x)", "[SMITH(x)]" + ok},
      {"(x) SMITH", "[(x)]" + ok + "; [SMITH]" + ok},
      {"\"SMITH", "[\"SMITH]" + quotes},
      // Quotes mean nothing inside a comment; a comment may nest.
      {"SMITH (a \"b) , JONES", "[SMITH]" + ok + "; [JONES]" + ok},
      {"SMITH (a (b) c) JONES", "[SMITH]" + ok + "; [JONES]" + ok},
      // After a comma a parenthesis is an ordinary token character.
      {"SMITH, (x) JONES", "[SMITH]" + ok + "; [(x)]" + ok + "; [JONES]" + ok},
      {"\tSMITH\r\n,\vJONES\f", "[SMITH]" + ok + "; [JONES]" + ok},
      {"GATE::\"USER@HOST, X\" Y", "[GATE::\"USER@HOST, X\"]" + ok + "; [Y]" + ok},
      {"\xe9l\xe8ve, \xff", "[\xe9l\xe8ve]" + ok + "; [\xff]" + ok},  // 8-bit text
  };
  for (const Row& r : rows) {
    EXPECT_EQ(SplitList(r.list), r.want) << "list \"" << r.list << "\"";
  }
}

TEST(ScanAddr, StoresThePositionsOnEveryOutcome) {
  struct Row {
    const char* text;
    int32_t no_tail;
    uint32_t status;
    int start, end, next;
  } rows[] = {
      {"  SMITH  (x) , JONES", 0, 0, 2, 7, 15},
      {"  SMITH  (x) , JONES", 1, 0, 2, 7, 9},  // no tail: not past the comment
      {"SMITH, JONES", 1, 0, 0, 5, 5},          // nor past the comma
      {" , JONES", 0, ERR_BLANK_ADDRESS, 1, 1, 3},
      {"   ", 1, ERR_BLANK_ADDRESS, 3, 3, 3},
      {" \"ab ", 0, ERR_UNBALANCED_QUOTES, 1, 5, 5},
      {"SMITH (x", 0, ERR_UNBALANCED_PARENS, 0, 5, 6},  // next as after the blanks
      {"SMITH (x", 1, 0, 0, 5, 6},                      // no tail: the comment is not read
  };
  for (const Row& r : rows) {
    const char *start = nullptr, *end = nullptr, *next = nullptr;
    const uint32_t status = ScanAddr(r.text, &start, &end, &next, r.no_tail);
    ASSERT_TRUE(start && end && next) << r.text;
    EXPECT_EQ(Status(status), Status(r.status)) << "text \"" << r.text << "\" flag " << r.no_tail;
    EXPECT_EQ(start - r.text, r.start) << "start of \"" << r.text << "\" flag " << r.no_tail;
    EXPECT_EQ(end - r.text, r.end) << "end of \"" << r.text << "\" flag " << r.no_tail;
    EXPECT_EQ(next - r.text, r.next) << "next of \"" << r.text << "\" flag " << r.no_tail;
  }
}

TEST(ScanParentheses, FindsTheMatchingClose) {
  struct Row {
    const char* text;
    int want;  // offset of the result, -1 for null
  } rows[] = {
      {"(a)b", 3},   {"(a(b)c)d", 7}, {"(a(b)c", -1},   {")", -1},
      {")(", -1},    {"(", -1},       {"x(a)", 0},      {"", 0},
      {"(\")\"", 3},  // quotes do not hide a parenthesis
  };
  for (const Row& r : rows) {
    const char* got = ScanParentheses(r.text);
    EXPECT_EQ(got == nullptr ? -1 : got - r.text, r.want) << "text \"" << r.text << "\"";
  }
}

// "node; user; form" or the status, as the table writes them.
std::string Parse(const char* token, int32_t length = -1) {
  int32_t no = -7, nl = -7, uo = -7, ul = -7, form = -7;
  const uint32_t status = ParseAddr(token, length, &no, &nl, &uo, &ul, &form);
  if (status != 0) return Status(status);
  return (nl == 0 ? std::string("none") : std::string(token + no, nl)) + "; " +
         std::string(token + uo, ul) + "; " + std::to_string(form);
}

std::string Trim(const char* text, int32_t maximum = 0) {
  const char* start = nullptr;
  int32_t length = -1;
  const uint32_t status = TrimAddress(text, maximum, &start, &length);
  if (status != 0) return Status(status);
  return std::string(start, length);
}

TEST(ParseAddr, SplitsOneTokenAndTrimAddressShortensIt) {
  const std::string syntax = Status(ERR_ADDRESS_SYNTAX), quotes = Status(ERR_UNBALANCED_QUOTES);
  struct Row {
    const char* token;
    std::string parsed;
    std::string trimmed;
  } rows[] = {
      {"SMITH", "none; SMITH; 61", "SMITH"},
      {"NODEA::SMITH", "NODEA; SMITH; 61", "NODEA::SMITH"},
      {"NODEA::NODEB::SMITH", "NODEA; NODEB::SMITH; 61", "NODEB::SMITH"},
      {"USER@HOST", "HOST; USER; 64", "USER@HOST"},
      {"a@b@c", "c; a@b; 64", "a@b"},
      {"NODEA::USER@HOST", "NODEA; USER@HOST; 61", "USER@HOST"},
      {"GATE::\"USER@HOST\"", "GATE; \"USER@HOST\"; 61", "USER@HOST"},
      {"\"jo smith\"", "none; \"jo smith\"; 61", "\"jo smith\""},
      {"a:b", "none; a:b; 61", "a:b"},
      {"A:::B", "A; :B; 61", "A:::B"},
      {"@HOST", syntax, syntax},
      {"USER@", syntax, syntax},
      {"::SMITH", syntax, syntax},
      {"NODEA::", syntax, syntax},
      {"USER@X::SMITH", syntax, syntax},
      {"\"SMITH", quotes, quotes},
      {"A\"B\"C\"", quotes, quotes},
      {"\"a::b\"::c", "\"a::b\"; c; 61", "\"a::b\"::c"},  // quoted marks do not count
      {"\"u@h\"", "none; \"u@h\"; 61", "u@h"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(Parse(r.token), r.parsed) << "ParseAddr of \"" << r.token << "\"";
    EXPECT_EQ(Trim(r.token), r.trimmed) << "TrimAddress of \"" << r.token << "\"";
  }
}

TEST(ParseAddr, CountsOnlyTheGivenLength) {
  struct Row {
    const char* text;
    int32_t length;
    std::string want;
  } rows[] = {
      {"NODEA::SMITH, JONES", 12, "NODEA; SMITH; 61"},
      {"NODEA::SMITH", 5, "none; NODEA; 61"},
      {"NODEA::SMITH", 6, "none; NODEA:; 61"},  // the second colon lies outside
      {"USER@HOST", 4, "none; USER; 61"},
      {"SMITH", 0, Status(ERR_ADDRESS_SYNTAX)},
      // A length running past the NUL is cut there: no part may lie beyond the text.
      {"NODEA::SMITH", 40, "NODEA; SMITH; 61"},
      {"AB", 10, "none; AB; 61"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(Parse(r.text, r.length), r.want) << "\"" << r.text << "\" length " << r.length;
  }
}

TEST(ParseAddr, StoresNothingForUnbalancedQuotesButTheValuesOnSyntaxErrors) {
  int32_t v[5] = {-7, -7, -7, -7, -7};
  EXPECT_EQ(ParseAddr("\"x", -1, &v[0], &v[1], &v[2], &v[3], &v[4]), ERR_UNBALANCED_QUOTES);
  for (int32_t x : v) EXPECT_EQ(x, -7);
  EXPECT_EQ(ParseAddr("USER@", -1, &v[0], &v[1], &v[2], &v[3], &v[4]), ERR_ADDRESS_SYNTAX);
  EXPECT_EQ(std::vector<int32_t>(v, v + 5), (std::vector<int32_t>{5, 0, 0, 4, 64}));
}

TEST(TrimAddress, StopsAsSoonAsTheResultFits) {
  struct Row {
    const char* text;
    int32_t maximum;
    std::string want;
  } rows[] = {
      {"NODEA::NODEB::NODEC::SMITH", 20, "NODEB::NODEC::SMITH"},
      {"NODEA::NODEB::NODEC::SMITH", 0, "NODEC::SMITH"},
      {"NODEA::NODEB::NODEC::SMITH", 26, "NODEA::NODEB::NODEC::SMITH"},
      {"NODEA::NODEB::NODEC::SMITH", -1, "NODEC::SMITH"},
      {"  NODEA::SMITH  (Jo Smith), JONES", 0, "NODEA::SMITH"},  // the first token only
  };
  for (const Row& r : rows) {
    EXPECT_EQ(Trim(r.text, r.maximum), r.want) << "\"" << r.text << "\" maximum " << r.maximum;
  }
}

TEST(TrimAddress, AloneOfTheAddressRoutinesLeavesTheLastError) {
  const char* start = nullptr;
  int32_t length = 0;
  struct Row {
    const char* text;
    uint32_t want;
  } rows[] = {
      {"   ", ERR_BLANK_ADDRESS},
      {"", ERR_BLANK_ADDRESS},
      {"SMITH (x", ERR_UNBALANCED_PARENS},
      {"\"x", ERR_UNBALANCED_QUOTES},
      {"NODEA::@HOST", ERR_ADDRESS_SYNTAX},  // a fault one node down
  };
  for (const Row& r : rows) {
    platform::SetLastError(0);
    EXPECT_EQ(Status(TrimAddress(r.text, 0, &start, &length)), Status(r.want)) << r.text;
    EXPECT_EQ(Status(platform::GetLastError()), Status(r.want)) << "last error after " << r.text;
  }

  // The others only return their codes.
  int32_t v[5];
  const char *s, *e, *n;
  platform::SetLastError(1234);
  EXPECT_EQ(ScanAddr("\"x", &s, &e, &n, 0), ERR_UNBALANCED_QUOTES);
  EXPECT_EQ(ParseAddr("@", -1, &v[0], &v[1], &v[2], &v[3], &v[4]), ERR_ADDRESS_SYNTAX);
  EXPECT_EQ(CheckRemote("NODEA::@", -1, &s, &v[0], "NODEA", &v[1]), ERR_ADDRESS_SYNTAX);
  EXPECT_EQ(CheckPNameIn("(x"), ERR_UNBALANCED_PARENS);
  char name[] = "  x";
  EXPECT_EQ(CheckPNameOut(name), ERR_NAME_SPACES);
  EXPECT_EQ(platform::GetLastError(), 1234u);
}

TEST(PersonalNames, CheckedOnTheWayOutAndTheWayIn) {
  const std::string spaces = Status(ERR_NAME_SPACES), start = Status(ERR_NAME_START);
  const std::string parens = Status(ERR_UNBALANCED_PARENS), bad = Status(ERR_NAME_CHARACTER);
  struct Row {
    const char* name;
    std::string out;  // status, then the name as CheckPNameOut leaves it
    std::string in;
  } rows[] = {
      {"Jo Smith", "0 [Jo Smith]", "0"},
      {"Jo  Smith", spaces + " [Jo  Smith]", "0"},
      {"Jo Smith ", "0 [Jo Smith]", "0"},
      {"Jo Smith\t", "0 [Jo Smith]", "0"},
      {"Jo Smith  ", spaces + " [Jo Smith  ]", "0"},
      {" Jo", start + " [ Jo]", "0"},
      {"2nd Jo", start + " [2nd Jo]", "0"},
      {"\tJo", start + " [\tJo]", "0"},
      {"Jo \"JJ\" Smith", "0 [Jo 'JJ' Smith]", "0"},
      {"Jo (x", parens + " [Jo (x]", parens},
      {"Jo)(", parens + " [Jo)(]", parens},
      {"Jo\tSmith", "0 [Jo\tSmith]", "0"},
      {"Jo\rX", bad + " [Jo\rX]", bad},
      {"Jo\nX", bad + " [Jo\nX]", bad},
      {"Jo\bX", bad + " [Jo\bX]", "0"},
      {"Jo\vX", bad + " [Jo\vX]", "0"},
      {"", "0 []", "0"},
      // The first fault met decides; quotes already turned stay turned.
      {"\"Jo\"  Smith", spaces + " ['Jo'  Smith]", "0"},
      {" (x", parens + " [ (x]", parens},
      {"Jo) \r", parens + " [Jo) \r]", parens},  // the walk ends where the depth goes below 0
      {"(Jo \"x\") Smith", "0 [(Jo 'x') Smith]", "0"},
      {"El\xe8ve \xff", "0 [El\xe8ve \xff]", "0"},
  };
  for (const Row& r : rows) {
    std::string buffer = r.name;
    const uint32_t status = CheckPNameOut(buffer.data());
    const std::string out = Status(status) + " [" + buffer.c_str() + "]";
    EXPECT_EQ(out, r.out) << "CheckPNameOut of \"" << r.name << "\"";
    EXPECT_EQ(Status(CheckPNameIn(r.name)), r.in) << "CheckPNameIn of \"" << r.name << "\"";
  }
}

TEST(CheckRemote, StripsTheLocalNodeAndClassifiesTheRest) {
  struct Row {
    const char* text;
    const char* local;
    std::string want;  // rest, then the kind, or the status
  } rows[] = {
      {"NODEA::SMITH", "NODEA", "SMITH 0"},
      {"nodea::NODEB::SMITH", "NODEA", "NODEB::SMITH 1"},
      {"NODEB::SMITH", "NODEA", "NODEB::SMITH 1"},
      {"NODEA::USER@HOST", "NODEA", "USER@HOST -1"},
      {"SMITH", "NODEA", "SMITH 0"},
      {"NODEA::NODEA::SMITH", "nodea", "SMITH 0"},
      {"USER@HOST", "NODEA", "USER@HOST -1"},
      {"NODEA::\"U@H\"", "NODEA", "\"U@H\" 0"},
      // Whole names only: neither a prefix nor an extension of the local name is local.
      {"NODE::SMITH", "NODEA", "NODE::SMITH 1"},
      {"NODEAB::SMITH", "NODEA", "NODEAB::SMITH 1"},
      {"\xe9T\xc9::X", "\xc9t\xe9", "X 0"},  // 8-bit letters fold too
      {"NODEA::@HOST", "NODEA", Status(ERR_ADDRESS_SYNTAX)},
      {"NODEA::\"x", "NODEA", Status(ERR_UNBALANCED_QUOTES)},
      {"", "NODEA", " 0"},
  };
  for (const Row& r : rows) {
    const char* rest = nullptr;
    int32_t rest_length = -1, kind = 9;
    const uint32_t status = CheckRemote(r.text, -1, &rest, &rest_length, r.local, &kind);
    const std::string got =
        status != 0 ? Status(status) : std::string(rest, rest_length) + " " + std::to_string(kind);
    EXPECT_EQ(got, r.want) << "\"" << r.text << "\" at local node " << r.local;
  }
}

TEST(CheckRemote, KeepsTheWholeTextOnFailureAndHonoursTheLength) {
  const char* text = "NODEA::NODEA::@X";
  const char* rest = nullptr;
  int32_t rest_length = 0, kind = 9;
  EXPECT_EQ(CheckRemote(text, -1, &rest, &rest_length, "NODEA", &kind), ERR_ADDRESS_SYNTAX);
  EXPECT_EQ(rest, text);
  EXPECT_EQ(rest_length, 16);
  EXPECT_EQ(kind, 0);

  const char* list = "NODEA::SMITH,JONES";
  EXPECT_EQ(CheckRemote(list, 12, &rest, &rest_length, "NODEA", &kind), 0u);
  EXPECT_EQ(std::string(rest, rest_length), "SMITH");
  EXPECT_EQ(CheckRemote(list, 0, &rest, &rest_length, "NODEA", &kind), 0u);
  EXPECT_EQ(rest, list);
  EXPECT_EQ(rest_length, 0);
}

TEST(AddressRoutines, RefuseMissingArguments) {
  const char *s, *e, *n;
  int32_t v[5];
  EXPECT_EQ(ScanAddr(nullptr, &s, &e, &n, 0), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(ScanAddr("x", &s, nullptr, &n, 0), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(ParseAddr(nullptr, -1, &v[0], &v[1], &v[2], &v[3], &v[4]), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(ParseAddr("x", -1, &v[0], &v[1], &v[2], &v[3], nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(CheckRemote("x", -1, &s, &v[0], nullptr, &v[1]), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(CheckPNameIn(nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(CheckPNameOut(nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(ScanParentheses(nullptr), nullptr);
  platform::SetLastError(0);
  EXPECT_EQ(TrimAddress(nullptr, 0, &s, &v[0]), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(platform::GetLastError(), ERROR_INVALID_PARAMETER);
}

}  // namespace
