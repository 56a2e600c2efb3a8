// pellreg's command line: every usage mistake gives its own message (and no request),
// good command lines become the request with the value data in stored form, and the
// query display and the yes/no question behave as administrators expect.
#include "pellreg/command_line.h"

#include <gtest/gtest.h>

#include <sstream>

#include "pellreg/commands.h"
#include "platform/registry.h"

namespace pellreg {
namespace {

using Args = std::vector<std::string>;

std::string Join(const Args& args) {
  std::string joined;
  for (const std::string& a : args) joined += "[" + a + "] ";
  return joined;
}

TEST(CommandLine, UsageMistakesAreNamed) {
  struct Row {
    Args args;
    std::string error;
    bool usage;
  } rows[] = {
      {{}, "no command given", true},
      {{"frob"}, "unknown command \"frob\"", true},
      {{"--version", "x"}, "unexpected argument \"x\"", false},
      {{"query"}, "query needs a key name", false},
      {{"export", "HKLM\\a"}, "export needs a key name and a file name", false},
      {{"import"}, "import needs a file name", false},
      {{"query", "HKCR\\a"}, "invalid key name \"HKCR\\a\": it must begin with HKLM, HKCU or HKU (or HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_USERS)", false},
      {{"query", "HKLM\\\\a"}, "invalid key name \"HKLM\\\\a\": a name between \"\\\" separators is empty", false},
      {{"add", "HKLM\\a\nb"}, "invalid key name \"HKLM\\a\nb\": a name cannot hold a line break or a NUL", false},
      {{"query", "HKU"}, "invalid key name \"HKU\": HKEY_USERS must be followed by a user's SID, as in HKU\\S-1-22-1-1000", false},
      {{"query", "HKLM\\a", "HKLM\\b"}, "unexpected argument \"HKLM\\b\"", false},
      {{"query", "HKLM\\a", "/f"}, "/f is not an option of query", false},
      {{"import", "x.reg", "/y"}, "/y is not an option of import", false},
      {{"query", "HKLM\\a", "/s", "/S"}, "/s is given twice", false},
      {{"query", "HKLM\\a", "/v", "x", "/ve"}, "/v or /ve is given twice", false},
      {{"query", "HKLM\\a", "/v"}, "/v needs a value name", false},
      {{"add", "HKLM\\a", "/v", "x\ny"}, "a value name cannot hold a line break or a NUL", false},
      {{"add", "HKLM\\a", "/v", "x", "/t"}, "/t needs a type", false},
      {{"add", "HKLM\\a", "/v", "x", "/d"}, "/d needs the data", false},
      {{"add", "HKLM\\a", "/v", "x", "/d", "1", "/d", "2"}, "/d is given twice", false},
      {{"add", "HKLM\\a", "/d", "1"}, "/t and /d need /v NAME or /ve", false},
      {{"add", "HKLM\\a", "/ve", "/t", "REG_QWORD"}, "unknown type \"REG_QWORD\": use REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD or REG_BINARY", false},
      {{"add", "HKLM\\a", "/v", "n", "/t", "REG_DWORD", "/d", "12a"}, "bad number \"12a\" for REG_DWORD: give 0 to 4294967295 in decimal or as 0x hex", false},
      {{"add", "HKLM\\a", "/v", "n", "/t", "REG_DWORD", "/d", "-1"}, "bad number \"-1\" for REG_DWORD: give 0 to 4294967295 in decimal or as 0x hex", false},
      {{"add", "HKLM\\a", "/v", "n", "/t", "REG_DWORD", "/d", ""}, "bad number \"\" for REG_DWORD: give 0 to 4294967295 in decimal or as 0x hex", false},
      {{"add", "HKLM\\a", "/v", "n", "/t", "REG_DWORD", "/d", "4294967296"}, "number \"4294967296\" is out of range for REG_DWORD (0 to 4294967295)", false},
      {{"add", "HKLM\\a", "/v", "n", "/t", "REG_DWORD", "/d", "0x100000000"}, "number \"0x100000000\" is out of range for REG_DWORD (0 to 4294967295)", false},
      {{"add", "HKLM\\a", "/v", "b", "/t", "REG_BINARY", "/d", "0g"}, "bad binary data \"0g\": give pairs of hex digits, as in 01a0ff", false},
      {{"add", "HKLM\\a", "/v", "b", "/t", "REG_BINARY", "/d", "012"}, "bad binary data \"012\": give pairs of hex digits, as in 01a0ff", false},
      {{"add", "HKLM\\a", "/v", "m", "/t", "REG_MULTI_SZ", "/d", "a\\0\\0b"}, "REG_MULTI_SZ data cannot hold an empty string (\"\\0\" at the start, at the end or twice in a row)", false},
      {{"add", "HKLM\\a", "/v", "m", "/t", "REG_MULTI_SZ", "/d", "a\\0"}, "REG_MULTI_SZ data cannot hold an empty string (\"\\0\" at the start, at the end or twice in a row)", false},
      {{"delete", "HKLM"}, "a root key cannot be deleted", false},
      {{"delete", "HKU\\S-1-22-1-0", "/f"}, "a root key cannot be deleted", false},
  };
  for (const Row& row : rows) {
    ParsedCommandLine parsed = ParseCommandLine(row.args);
    EXPECT_EQ(parsed.error, row.error) << Join(row.args);
    EXPECT_EQ(parsed.show_usage, row.usage) << Join(row.args);
  }
}

TEST(CommandLine, GoodCommandLinesBecomeRequests) {
  struct Row {
    Args args;
    Command command;
    std::optional<std::string> value_name;
    uint32_t type;
    Bytes data;
  } rows[] = {
      {{"--help"}, Command::kHelp, {}, 0, {}},
      {{"add", "HKLM\\a", "/?"}, Command::kHelp, {}, 0, {}},
      {{"-h"}, Command::kHelp, {}, 0, {}},
      {{"--version"}, Command::kVersion, {}, 0, {}},
      {{"ADD", "hkey_local_machine\\a", "-V", "x"}, Command::kAdd, "x", platform::REG_SZ, {0}},
      {{"add", "HKLM\\a", "/ve", "/d", "hi"}, Command::kAdd, "", platform::REG_SZ, {'h', 'i', 0}},
      {{"add", "HKLM\\a", "/v", "e", "/t", "reg_expand_sz", "/d", "$X"}, Command::kAdd, "e", platform::REG_EXPAND_SZ, {'$', 'X', 0}},
      {{"add", "HKLM\\a", "/v", "n", "/t", "REG_DWORD"}, Command::kAdd, "n", platform::REG_DWORD, {0, 0, 0, 0}},
      {{"add", "HKLM\\a", "/v", "n", "/t", "REG_DWORD", "/d", "4294967295"}, Command::kAdd, "n", platform::REG_DWORD, {0xff, 0xff, 0xff, 0xff}},
      {{"add", "HKLM\\a", "/v", "n", "/t", "REG_DWORD", "/d", "0X1F2"}, Command::kAdd, "n", platform::REG_DWORD, {0xf2, 0x01, 0, 0}},
      {{"add", "HKLM\\a", "/v", "m", "/t", "REG_MULTI_SZ", "/d", "SMITH\\0JONES"}, Command::kAdd, "m", platform::REG_MULTI_SZ, {'S', 'M', 'I', 'T', 'H', 0, 'J', 'O', 'N', 'E', 'S', 0, 0}},
      {{"add", "HKLM\\a", "/v", "m", "/t", "REG_MULTI_SZ"}, Command::kAdd, "m", platform::REG_MULTI_SZ, {0}},
      {{"add", "HKLM\\a", "/v", "b", "/t", "REG_BINARY", "/d", "01aBff"}, Command::kAdd, "b", platform::REG_BINARY, {0x01, 0xab, 0xff}},
      {{"query", "HKCU\\a", "/s", "/ve"}, Command::kQuery, "", 0, {}},
      {{"delete", "HKU\\S-1-22-1-0\\a", "-f"}, Command::kDelete, {}, 0, {}},
  };
  for (const Row& row : rows) {
    ParsedCommandLine parsed = ParseCommandLine(row.args);
    ASSERT_EQ(parsed.error, "") << Join(row.args);
    EXPECT_EQ(parsed.request.command, row.command) << Join(row.args);
    EXPECT_EQ(parsed.request.value_name, row.value_name) << Join(row.args);
    if (row.command == Command::kAdd) {
      EXPECT_EQ(parsed.request.type, row.type) << Join(row.args);
      EXPECT_EQ(parsed.request.data, row.data) << Join(row.args);
    }
  }
  // A file name that begins with "/" is a file, not a switch.
  ParsedCommandLine e = ParseCommandLine({"export", "hkcu\\Software", "/tmp/x.reg", "/Y"});
  ASSERT_EQ(e.error, "");
  EXPECT_EQ(e.request.file, "/tmp/x.reg");
  EXPECT_TRUE(e.request.replace_file);
  EXPECT_EQ(FullName(e.request.key), "HKEY_CURRENT_USER\\Software");
}

TEST(ValueDisplay, DataShowsAsAQueryPrintsIt) {
  struct Row {
    uint32_t type;
    Bytes data;
    std::string shown;
  } rows[] = {
      {platform::REG_SZ, {'a', 'b', 0}, "ab"},
      {platform::REG_SZ, {'a', 'b'}, "ab"},
      {platform::REG_EXPAND_SZ, {'$', 'H', 0, 'x'}, "$H"},
      {platform::REG_MULTI_SZ, {'a', 0, 'b', 0, 0}, "a\\0b"},
      {platform::REG_MULTI_SZ, {0}, ""},
      {platform::REG_DWORD, {0x60, 0xea, 0, 0}, "0xea60"},
      {platform::REG_DWORD, {1, 2}, "0102"},
      {platform::REG_BINARY, {0x01, 0xab}, "01AB"},
      {11, {0xff}, "FF"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(DisplayData(row.type, row.data), row.shown) << TypeName(row.type);
  }
  EXPECT_EQ(TypeName(11), "REG_UNKNOWN(0xb)");
  EXPECT_EQ(DisplayName(""), "(Default)");
}

TEST(AskYesNo, AsksUntilYesOrNo) {
  struct Row {
    std::string input;
    bool answer;
    int questions;
  } rows[] = {
      {"yes\n", true, 1}, {"Y\n", true, 1},   {" No \n", false, 1},
      {"n\n", false, 1},  {"maybe\nyes\n", true, 2}, {"", false, 1},
      {"what\n", false, 2},
  };
  for (const Row& row : rows) {
    std::istringstream in(row.input);
    std::ostringstream out;
    EXPECT_EQ(AskYesNo(in, out, "Sure?"), row.answer) << row.input;
    std::string shown = out.str();
    int asked = 0;
    for (std::size_t at = shown.find("Sure? "); at != std::string::npos; at = shown.find("Sure? ", at + 1)) ++asked;
    EXPECT_EQ(asked, row.questions) << row.input;
  }
}

}  // namespace
}  // namespace pellreg
