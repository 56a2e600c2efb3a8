// The text registry format: every type survives writing and reading, the reader takes
// what other writers produce (LF, CR LF, continued hex lines, comments, short root
// names), and every malformed line is refused with its number and nothing else read.
#include "pellreg/reg_text.h"

#include <gtest/gtest.h>

#include <sstream>

#include "platform/registry.h"

namespace pellreg {
namespace {

using Kind = RegOperation::Kind;

Bytes B(std::string_view text) { return Bytes(text.begin(), text.end()); }

RegOperation Key(const std::string& sub, Kind kind = Kind::kCreateKey) {
  RegOperation op;
  op.kind = kind;
  op.key = {Root::kLocalMachine, sub};
  return op;
}

RegOperation Set(const std::string& name, uint32_t type, Bytes data) {
  RegOperation op = Key("Software\\Corwent", Kind::kSetValue);
  op.value_name = name;
  op.type = type;
  op.data = std::move(data);
  return op;
}

std::string Describe(const std::vector<RegOperation>& ops) {
  std::ostringstream s;
  for (const RegOperation& op : ops) {
    s << static_cast<int>(op.kind) << " " << FullName(op.key) << " \"" << op.value_name << "\" "
      << op.type << " " << DisplayData(platform::REG_BINARY, op.data) << "\n";
  }
  return s.str();
}

std::string Write(const std::vector<RegOperation>& ops) {
  std::string text, error;
  EXPECT_TRUE(WriteRegText(ops, &text, &error)) << error;
  return text;
}

TEST(RegText, EveryKindOfValueComesBackAsWritten) {
  Bytes long_binary;
  for (int i = 0; i < 300; ++i) long_binary.push_back(static_cast<uint8_t>(i));
  struct Row {
    RegOperation op;
    std::string line;  // the value line as written ("" when long and wrapped)
  } rows[] = {
      {Set("Path", platform::REG_SZ, B(std::string("/var/spool/\0", 12))), "\"Path\"=\"/var/spool/\""},
      {Set("q\"uo\\te", platform::REG_SZ, B(std::string("a\"b\\c\0", 6))), "\"q\\\"uo\\\\te\"=\"a\\\"b\\\\c\""},
      {Set("", platform::REG_SZ, B(std::string("\0", 1))), "@=\"\""},
      {Set("@", platform::REG_SZ, B(std::string("x\0", 2))), "\"@\"=\"x\""},
      {Set("nonul", platform::REG_SZ, B("ab")), "\"nonul\"=hex(1):61,62"},
      {Set("lf", platform::REG_SZ, B(std::string("a\nb\0", 4))), "\"lf\"=hex(1):61,0a,62,00"},
      {Set("latin1", platform::REG_SZ, B(std::string("\xe9t\xe9\0", 4))), "\"latin1\"=\"\xe9t\xe9\""},
      {Set("exp", platform::REG_EXPAND_SZ, B(std::string("$HOME\0", 6))), "\"exp\"=hex(2):24,48,4f,4d,45,00"},
      {Set("multi", platform::REG_MULTI_SZ, B(std::string("a\0b\0\0", 5))), "\"multi\"=hex(7):61,00,62,00,00"},
      {Set("n", platform::REG_DWORD, {10, 0, 0, 0}), "\"n\"=dword:0000000a"},
      {Set("max", platform::REG_DWORD, {0xff, 0xff, 0xff, 0xff}), "\"max\"=dword:ffffffff"},
      {Set("short", platform::REG_DWORD, {1, 2}), "\"short\"=hex(4):01,02"},
      {Set("bin", platform::REG_BINARY, {0x01, 0xab}), "\"bin\"=hex:01,ab"},
      {Set("empty", platform::REG_BINARY, {}), "\"empty\"=hex:"},
      {Set("none", platform::REG_NONE, {7}), "\"none\"=hex(0):07"},
      {Set("qword", 11, {1, 0, 0, 0, 0, 0, 0, 0}), "\"qword\"=hex(b):01,00,00,00,00,00,00,00"},
      {Set("long", platform::REG_BINARY, long_binary), ""},
  };
  for (const Row& row : rows) {
    std::vector<RegOperation> ops = {Key("Software\\Corwent"), row.op};
    const std::string text = Write(ops);
    const std::string header = "Windows Registry Editor Version 5.00\r\n\r\n"
                               "[HKEY_LOCAL_MACHINE\\Software\\Corwent]\r\n";
    ASSERT_EQ(text.substr(0, header.size()), header) << row.op.value_name;
    if (!row.line.empty()) {
      EXPECT_EQ(text.substr(header.size()), row.line + "\r\n\r\n") << row.op.value_name;
    }
    // Every line ends in CR LF and stays within 80 characters.
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
      ASSERT_FALSE(line.empty()) << "a line without CR: " << row.op.value_name;
      EXPECT_EQ(line.back(), '\r') << row.op.value_name;
      EXPECT_LE(line.size(), 81u) << row.op.value_name << ": " << line;
    }
    ParsedRegText parsed = ParseRegText(text);
    ASSERT_FALSE(parsed.error) << row.op.value_name << ": line " << parsed.error->line << ": "
                               << parsed.error->message;
    EXPECT_EQ(Describe(parsed.operations), Describe(ops)) << text;
  }
}

TEST(RegText, DeletionsAndSectionsComeBackInOrder) {
  RegOperation del_value = Set("old", 0, {});
  del_value.kind = Kind::kDeleteValue;
  RegOperation other = Key("Software\\Other");
  other.key.root = Root::kCurrentUser;
  std::vector<RegOperation> ops = {Key("Software\\Corwent"), del_value,
                                   Key("Software\\Gone", Kind::kDeleteKey), other};
  const std::string text = Write(ops);
  EXPECT_NE(text.find("\"old\"=-\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("[-HKEY_LOCAL_MACHINE\\Software\\Gone]\r\n"), std::string::npos) << text;
  ParsedRegText parsed = ParseRegText(text);
  ASSERT_FALSE(parsed.error);
  EXPECT_EQ(Describe(parsed.operations), Describe(ops));
}

TEST(RegText, WriterRefusesNamesTheFormatCannotCarry) {
  std::string text, error;
  EXPECT_FALSE(WriteRegText({Key("a\nb")}, &text, &error));
  EXPECT_NE(error.find("line break"), std::string::npos) << error;
  EXPECT_FALSE(WriteRegText({Key("a"), Set("x\ny", platform::REG_SZ, {0})}, &text, &error));
  EXPECT_NE(error.find("line break"), std::string::npos) << error;
}

TEST(RegText, ReaderTakesWhatOtherWritersProduce) {
  struct Row {
    const char* what;
    std::string text;
    std::vector<RegOperation> want;
  };
  const std::string h = "Windows Registry Editor Version 5.00\n";
  const RegOperation key = Key("Software\\Corwent");
  const Row rows[] = {
      {"LF only", h + "\n[HKEY_LOCAL_MACHINE\\Software\\Corwent]\n\"a\"=\"b\"\n",
       {key, Set("a", platform::REG_SZ, B(std::string("b\0", 2)))}},
      {"CR LF, short root, no blank lines", "Windows Registry Editor Version 5.00\r\n[hklm\\Software\\Corwent]\r\n@=dword:A\r\n",
       {key, Set("", platform::REG_DWORD, {10, 0, 0, 0})}},
      {"continued hex lines", h + "[HKLM\\Software\\Corwent]\n\"b\"=hex:01,02,\\\n   03,\\\n\t04\n",
       {key, Set("b", platform::REG_BINARY, {1, 2, 3, 4})}},
      {"comments, blanks around =, upper-case hex", h + "; made by hand\n[HKLM\\Software\\Corwent\\]\n  \"c\" = HEX(7):41,00,00  \n",
       {key, Set("c", platform::REG_MULTI_SZ, {0x41, 0, 0})}},
      {"empty quoted name is the default value", h + "[HKLM\\Software\\Corwent]\n\"\"=hex:ff\n",
       {key, Set("", platform::REG_BINARY, {0xff})}},
      {"header only", h, {}},
  };
  for (const Row& row : rows) {
    ParsedRegText parsed = ParseRegText(row.text);
    ASSERT_FALSE(parsed.error) << row.what << ": line " << parsed.error->line << ": "
                               << parsed.error->message;
    EXPECT_EQ(Describe(parsed.operations), Describe(row.want)) << row.what;
  }
}

TEST(RegText, MalformedTextIsRefusedAtItsLine) {
  const std::string h = "Windows Registry Editor Version 5.00\r\n\r\n[HKLM\\Software]\r\n";  // lines 1-3
  struct Row {
    std::string text;
    int line;
    std::string message;  // a part of the message
  } rows[] = {
      {"", 1, "the first line must be \"Windows Registry Editor Version 5.00\""},
      {"REGEDIT4\r\n\r\n[HKLM\\a]\r\n", 1, "the first line must be"},
      {"Windows Registry Editor Version 5.00\n\"a\"=\"b\"\n", 2, "a value line before the first [KEY] line"},
      {h + "\"a\"=\"b\"\r\n\"c\"=\"unclosed\r\n", 5, "a string is not closed"},
      {h + "\"a\"=\"c:\\temp\"\r\n", 4, "unknown escape \"\\t\""},
      {h + "\"a\"\"b\"\r\n", 4, "expected \"=\" after the value name"},
      {h + "\"a\"=\"b\" extra\r\n", 4, "unexpected text after the closing \""},
      {h + "\"a\"=word:1\r\n", 4, "unknown value data \"word:1\""},
      {h + "\"a\"=dword:123456789\r\n", 4, "dword: must be followed by 1 to 8 hex digits"},
      {h + "\"a\"=dword:\r\n", 4, "dword: must be followed by 1 to 8 hex digits"},
      {h + "\"a\"=hex(x):00\r\n", 4, "hex( must be followed by a type"},
      {h + "\"a\"=hex:01,02,\\\r\n  03,zz\r\n", 5, "bad hex byte \"zz\""},
      {h + "\"a\"=hex:01,,02\r\n", 4, "a hex byte is missing"},
      {h + "\"a\"=hex:01,\r\n", 4, "a hex byte is missing"},
      {h + "\"a\"=hex:100\r\n", 4, "bad hex byte \"100\""},
      {h + "\"a\"=hex:01,\\\r\n", 4, "the file ends after a \"\\\" that continues the line"},
      {h + "[-HKLM]\r\n", 4, "a root key cannot be deleted"},
      {h + "[-HKU\\S-1-22-1-0]\r\n", 4, "a root key cannot be deleted"},
      {h + "[HKCR\\x]\r\n", 4, "invalid key name \"HKCR\\x\""},
      {h + "[HKLM\\a\\\\b]\r\n", 4, "a name between \"\\\" separators is empty"},
      {h + "[HKLM\\a\r\n", 4, "a [KEY] line must end with \"]\""},
      {h + "[-HKLM\\a]\r\n\"x\"=-\r\n", 5, "a value line below a [-KEY] line"},
      {h + "\r\n\r\n\"a\"=hex:0" + std::string(1, '\0') + "\r\n", 6, "the line holds a NUL byte"},
      {h + "\"a\rb\"=\"c\"\r\n", 4, "a value name cannot hold a line break"},
      {h + "a=b\r\n", 4, "expected a [KEY] line or a value line"},
  };
  for (const Row& row : rows) {
    ParsedRegText parsed = ParseRegText(row.text);
    ASSERT_TRUE(parsed.error) << "accepted: " << row.text;
    EXPECT_EQ(parsed.error->line, row.line) << row.text << "\ngot: " << parsed.error->message;
    EXPECT_NE(parsed.error->message.find(row.message), std::string::npos)
        << "got: " << parsed.error->message << "\nwant: " << row.message;
    EXPECT_TRUE(parsed.operations.empty()) << row.text;
  }
}

}  // namespace
}  // namespace pellreg
