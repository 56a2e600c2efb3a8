// The DECnet key read into a node configuration: a good key, every kind of bad value
// named in its problem (table), the node database with bad entries left out, and the
// node name taken from the computer name when Name is not set.
#include <gtest/gtest.h>

#include <variant>

#include "decnet_config.h"
#include "platform/registry.h"
#include "sandbox.h"

namespace pellam::service {
namespace {

using Data = std::variant<std::string, uint32_t>;
struct Value {
  std::string name;
  Data data;
};

void Set(platform::HKEY key, const Value& v) {
  if (const auto* text = std::get_if<std::string>(&v.data)) {
    ASSERT_EQ(platform::RegSetValueEx(key, v.name.c_str(), platform::REG_SZ,
                                      reinterpret_cast<const uint8_t*>(text->c_str()),
                                      static_cast<uint32_t>(text->size() + 1)),
              0u);
  } else {
    const uint32_t n = std::get<uint32_t>(v.data);
    ASSERT_EQ(platform::RegSetValueEx(key, v.name.c_str(), platform::REG_DWORD, reinterpret_cast<const uint8_t*>(&n), 4), 0u);
  }
}

void Write(const std::string& sub_key, const std::vector<Value>& values) {
  platform::UniqueKey key;
  ASSERT_EQ(platform::RegCreateKeyEx(platform::HKEY_LOCAL_MACHINE, sub_key.c_str(), key.out()), 0u);
  for (const Value& v : values) Set(key.get(), v);
}

const std::vector<Value> kGood = {{"Address", std::string("1.2")},
                                  {"Name", std::string("bravo")},
                                  {"Circuit", std::string("Multinet-TCP-Connect")},
                                  {"RemoteHost", std::string("127.0.0.1")},
                                  {"RemotePort", uint32_t{7100}},
                                  {"HelloTimer", uint32_t{15}}};

std::string Problems(const DecnetSettings& s) {
  std::string text;
  for (const auto& p : s.problems) text += p.value + ": " + p.text + "\n";
  return text;
}

TEST(DecnetConfig, NoKeyMeansNoDecnet) {
  test::Sandbox box;
  const DecnetSettings s = ReadDecnetSettings("alpha");
  EXPECT_EQ(s.state, DecnetSettings::State::kAbsent);
  EXPECT_TRUE(s.problems.empty());
}

TEST(DecnetConfig, AGoodKeyGivesTheNodeConfiguration) {
  test::Sandbox box;
  Write(kDecnetKey, kGood);
  Write(std::string(kDecnetKey) + "\\Nodes", {{"ALPHA", std::string("1.1")}, {"charly", std::string("63.1023")}});
  const DecnetSettings s = ReadDecnetSettings("ignored");
  ASSERT_EQ(s.state, DecnetSettings::State::kValid) << Problems(s);
  EXPECT_TRUE(s.problems.empty()) << Problems(s);
  EXPECT_EQ(s.config.address, decnet::NodeAddress::Of(1, 2));
  EXPECT_EQ(s.config.name, "BRAVO");
  EXPECT_EQ(s.local_name, "BRAVO");
  EXPECT_EQ(s.config.circuit.kind, decnet::CircuitKind::kMultinetTcpConnect);
  EXPECT_EQ(s.config.circuit.remote_host, "127.0.0.1");
  EXPECT_EQ(s.config.circuit.remote_port, 7100);
  EXPECT_EQ(s.config.circuit.local_port, 700) << "the default";
  EXPECT_EQ(s.config.circuit.hello_timer, std::chrono::seconds(15));
  EXPECT_EQ(s.config.nodes.Find("alpha"), decnet::NodeAddress::Of(1, 1));
  EXPECT_EQ(s.config.nodes.Find("CHARLY"), decnet::NodeAddress::Of(63, 1023));
  EXPECT_EQ(s.config.nodes.Find("bravo"), decnet::NodeAddress::Of(1, 2)) << "the node knows its own name";
}

struct BadCase {
  const char* title;
  std::vector<Value> change;  // set over the good values; a value named "-X" deletes X
  const char* value;          // the value the problem names
  const char* text;           // a part of its text
};

const BadCase kBadCases[] = {
    {"address out of range", {{"Address", std::string("1.2000")}}, "Address", "\"1.2000\" is not a node address"},
    {"address area zero", {{"Address", std::string("0.5")}}, "Address", "is not a node address"},
    {"address missing", {{"-Address", uint32_t{0}}}, "Address", "missing"},
    {"address as a number", {{"Address", uint32_t{1026}}}, "Address", "must be of type REG_SZ"},
    {"name too long", {{"Name", std::string("TOOLONG")}}, "Name", "\"TOOLONG\" is not a node name"},
    {"name without a letter", {{"Name", std::string("123")}}, "Name", "is not a node name"},
    {"unknown circuit", {{"Circuit", std::string("ddcmp-tcp")}}, "Circuit", "\"ddcmp-tcp\" is not a circuit"},
    {"circuit missing", {{"-Circuit", uint32_t{0}}}, "Circuit", "missing"},
    {"connect without a host", {{"-RemoteHost", uint32_t{0}}}, "RemoteHost", "missing"},
    {"host with a blank", {{"RemoteHost", std::string("my host")}}, "RemoteHost", "not a host name"},
    {"port zero", {{"RemotePort", uint32_t{0}}}, "RemotePort", "0 is out of range"},
    {"port too large", {{"LocalPort", uint32_t{70000}}}, "LocalPort", "70000 is out of range"},
    {"port as text", {{"RemotePort", std::string("700")}}, "RemotePort", "must be of type REG_DWORD"},
    {"hello timer zero", {{"HelloTimer", uint32_t{0}}}, "HelloTimer", "out of range"},
    {"ethernet without a device", {{"Circuit", std::string("ethernet")}}, "Device", "missing"},
    {"device with a slash", {{"Circuit", std::string("ethernet")}, {"Device", std::string("../eth0")}}, "Device",
     "not an interface name"},
    {"verification too long", {{"Verification", std::string(65, 'v')}}, "Verification", "at most 64"},
    {"verification with a control character", {{"Verification", std::string("a\tb")}}, "Verification",
     "printable"},
};

TEST(DecnetConfig, EachBadValueKeepsDecnetOffAndIsNamed) {
  for (const BadCase& c : kBadCases) {
    SCOPED_TRACE(c.title);
    test::Sandbox box;
    Write(kDecnetKey, kGood);
    for (const Value& v : c.change) {
      if (v.name[0] == '-') {
        platform::UniqueKey key;
        ASSERT_EQ(platform::RegOpenKeyEx(platform::HKEY_LOCAL_MACHINE, kDecnetKey, platform::KEY_ALL_ACCESS, key.out()), 0u);
        ASSERT_EQ(platform::RegDeleteValue(key.get(), v.name.c_str() + 1), 0u);
      } else {
        Write(kDecnetKey, {v});
      }
    }
    const DecnetSettings s = ReadDecnetSettings("alpha");
    EXPECT_EQ(s.state, DecnetSettings::State::kInvalid);
    ASSERT_EQ(s.problems.size(), 1u) << Problems(s);
    EXPECT_EQ(s.problems[0].value, std::string("HKLM\\Software\\Corwent\\Pellam\\DECnet\\") + c.value);
    EXPECT_NE(s.problems[0].text.find(c.text), std::string::npos) << s.problems[0].text;
  }
}

TEST(DecnetConfig, BadNodeEntriesAreLeftOutAndTheRestIsKept) {
  test::Sandbox box;
  Write(kDecnetKey, kGood);
  const std::string nodes = std::string(kDecnetKey) + "\\Nodes";
  Write(nodes, {{"ALPHA", std::string("1.1")},
                {"TOOLONGNAME", std::string("1.3")},
                {"DELTA", std::string("64.1")},
                {"ECHO", uint32_t{1029}},
                {"FOXTRT", std::string("2.7")}});
  const DecnetSettings s = ReadDecnetSettings("alpha");
  ASSERT_EQ(s.state, DecnetSettings::State::kValid) << Problems(s);
  EXPECT_EQ(s.config.nodes.size(), 3u) << "ALPHA, FOXTRT and the node itself";
  EXPECT_TRUE(s.config.nodes.Find("FOXTRT"));
  ASSERT_EQ(s.problems.size(), 3u) << Problems(s);
  const std::string text = Problems(s);
  EXPECT_NE(text.find("Nodes\\TOOLONGNAME: \"TOOLONGNAME\" is not a node name"), std::string::npos) << text;
  EXPECT_NE(text.find("Nodes\\DELTA: \"64.1\" is not a node address"), std::string::npos) << text;
  EXPECT_NE(text.find("Nodes\\ECHO: The value must be of type REG_SZ"), std::string::npos) << text;
}

TEST(DecnetConfig, WithoutNameTheComputerNameGivesIt) {
  test::Sandbox box;
  Write(kDecnetKey, kGood);
  platform::UniqueKey key;
  ASSERT_EQ(platform::RegOpenKeyEx(platform::HKEY_LOCAL_MACHINE, kDecnetKey, platform::KEY_ALL_ACCESS, key.out()), 0u);
  ASSERT_EQ(platform::RegDeleteValue(key.get(), "Name"), 0u);
  DecnetSettings s = ReadDecnetSettings("workstation7.example.org");
  ASSERT_EQ(s.state, DecnetSettings::State::kValid) << Problems(s);
  EXPECT_EQ(s.config.name, "WORKST");
  EXPECT_EQ(s.local_name, "") << "only a configured Name replaces the computer name";
  s = ReadDecnetSettings("my-pc");
  EXPECT_EQ(s.state, DecnetSettings::State::kInvalid);
  ASSERT_EQ(s.problems.size(), 1u);
  EXPECT_NE(s.problems[0].text.find("\"my-pc\" gives no node name"), std::string::npos) << s.problems[0].text;
}

TEST(DecnetConfig, AListeningCircuitNeedsNoPeer) {
  test::Sandbox box;
  Write(kDecnetKey, {{"Address", std::string("1.3")},
                     {"Name", std::string("CHARLY")},
                     {"Circuit", std::string("multinet-tcp-listen")},
                     {"LocalHost", std::string("127.0.0.1")},
                     {"LocalPort", uint32_t{7200}}});
  const DecnetSettings s = ReadDecnetSettings("x");
  ASSERT_EQ(s.state, DecnetSettings::State::kValid) << Problems(s);
  EXPECT_EQ(s.config.circuit.kind, decnet::CircuitKind::kMultinetTcpListen);
  EXPECT_EQ(s.config.circuit.local_host, "127.0.0.1");
  EXPECT_EQ(s.config.circuit.local_port, 7200);
}

}  // namespace
}  // namespace pellam::service
