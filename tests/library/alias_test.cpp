// Aliases in the user's and the machine's store, and address texts turned into lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "needs_root.h"
#include "pellam.h"
#include "platform/errors.h"
#include "platform/fault.h"
#include "platform/registry.h"
#include "sandbox.h"

namespace {

using pellam::test::Sandbox;

// The strings of an address list.
std::vector<std::string> Strings(const char* list) {
  std::vector<std::string> out;
  for (const char* p = list; p != nullptr && *p != '\0'; p += out.back().size() + 1) out.emplace_back(p);
  return out;
}

// A list from its strings: each NUL-terminated, then the closing empty string.
std::string List(std::initializer_list<const char*> items) {
  std::string s;
  for (const char* i : items) s.append(i).push_back('\0');
  s.push_back('\0');
  return s;
}

class Aliases : public ::testing::Test {
 protected:
  void SetUp() override { box_.AddCurrentUser("ann", "Ann"); }

  std::vector<std::string> Get(const char* name, uint32_t scope, uint32_t want = 0) {
    char* t = reinterpret_cast<char*>(1);
    platform::SetLastError(12345);
    uint32_t code = GetAlias(name, &t, scope);
    EXPECT_EQ(code, want) << name << " scope " << scope;
    EXPECT_EQ(platform::GetLastError(), want);
    std::vector<std::string> out = Strings(t);
    if (code != 0) {
      EXPECT_EQ(t, nullptr);
    }
    FreeAliasBuff(t);
    return out;
  }
  void StoreRaw(platform::HKEY hive, const char* name, uint32_t type, const std::string& data) {
    platform::UniqueKey key;
    ASSERT_EQ(platform::RegCreateKeyEx(hive, PELLAM_ALIAS_KEY, key.out()), 0u);
    ASSERT_EQ(platform::RegSetValueEx(key.get(), name, type, reinterpret_cast<const uint8_t*>(data.data()),
                                      static_cast<uint32_t>(data.size())),
              0u);
  }

  Sandbox box_;
};

using Names = std::vector<std::string>;

TEST_F(Aliases, AUserAliasHidesTheSystemOneUnlessEmpty) {
  ASSERT_EQ(SetAlias("staff", List({"SMITH"}).c_str(), ALIAS_SCOPE_USER), 0u);
  ASSERT_EQ(SetAlias("STAFF", List({"JONES", "NODE::BROWN"}).data(), ALIAS_SCOPE_SYSTEM), 0u);
  EXPECT_EQ(Get("staff", ALIAS_SCOPE_ANY), Names{"SMITH"});
  EXPECT_EQ(Get("Staff", ALIAS_SCOPE_SYSTEM), (Names{"JONES", "NODE::BROWN"}));
  StoreRaw(platform::HKEY_CURRENT_USER, "staff", platform::REG_MULTI_SZ, std::string(1, '\0'));
  EXPECT_EQ(Get("staff", ALIAS_SCOPE_ANY), (Names{"JONES", "NODE::BROWN"}));
  EXPECT_EQ(Get("staff", ALIAS_SCOPE_USER, ERR_NO_SUCH_ALIAS), Names{});
  EXPECT_EQ(Get("nobody", ALIAS_SCOPE_ANY, ERR_NO_SUCH_ALIAS), Names{});
}

TEST_F(Aliases, HandWrittenValuesReadAsProperLists) {
  StoreRaw(platform::HKEY_LOCAL_MACHINE, "one", platform::REG_SZ, std::string("SMITH, JONES") + '\0');
  EXPECT_EQ(Get("one", ALIAS_SCOPE_ANY), Names{"SMITH, JONES"});
  // Stored without any terminator: still one string, properly ended.
  StoreRaw(platform::HKEY_LOCAL_MACHINE, "bare", platform::REG_MULTI_SZ, "SMITH");
  EXPECT_EQ(Get("bare", ALIAS_SCOPE_SYSTEM), Names{"SMITH"});
  StoreRaw(platform::HKEY_LOCAL_MACHINE, "num", platform::REG_DWORD, "1234");
  EXPECT_EQ(Get("num", ALIAS_SCOPE_ANY, ERROR_INVALID_DATA), Names{});
}

TEST_F(Aliases, SetAliasDeletesWithAnEmptyTranslation) {
  EXPECT_EQ(SetAlias("ghost", nullptr, ALIAS_SCOPE_USER), ERR_NO_SUCH_ALIAS);
  EXPECT_EQ(platform::GetLastError(), ERR_NO_SUCH_ALIAS);
  ASSERT_EQ(SetAlias("x", List({"A"}).c_str(), ALIAS_SCOPE_USER), 0u);
  EXPECT_EQ(platform::GetLastError(), 0u);
  EXPECT_EQ(SetAlias("x", "", ALIAS_SCOPE_USER), 0u);
  EXPECT_EQ(Get("x", ALIAS_SCOPE_USER, ERR_NO_SUCH_ALIAS), Names{});
}

TEST_F(Aliases, ScopesAreChecked) {
  char* out = reinterpret_cast<char*>(1);
  EXPECT_EQ(GetAlias("x", &out, 3), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(SetAlias("x", "A\0", ALIAS_SCOPE_ANY), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(ListAllAliases(&out, ALIAS_SCOPE_ANY), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(platform::GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(Aliases, ListAllAliasesNamesEveryAlias) {
  char* names = reinterpret_cast<char*>(1);
  EXPECT_EQ(ListAllAliases(&names, ALIAS_SCOPE_USER), 0u);  // no Alias key yet
  EXPECT_EQ(names, nullptr);
  EXPECT_EQ(FreeAliasBuff(names), 0u);
  for (const char* n : {"b", "a-much-longer-name", "c"}) {
    ASSERT_EQ(SetAlias(n, List({"X"}).c_str(), ALIAS_SCOPE_USER), 0u);
  }
  ASSERT_EQ(ListAllAliases(&names, ALIAS_SCOPE_USER), 0u);
  Names got = Strings(names);
  std::sort(got.begin(), got.end());
  EXPECT_EQ(got, (Names{"a-much-longer-name", "b", "c"}));
  FreeAliasBuff(names);
  EXPECT_EQ(ListAllAliases(&names, ALIAS_SCOPE_SYSTEM), 0u);
  EXPECT_EQ(names, nullptr);
}

TEST_F(Aliases, SystemAliasesNeedTheAdministrator) {
  PELLAM_NEEDS_ROOT("acts as another account");
  box_.AddUser("bob", 1001, "Bob", "/home/bob");
  ASSERT_EQ(SetAlias("staff", List({"JONES"}).c_str(), ALIAS_SCOPE_SYSTEM), 0u);
  int rc = pellam::test::RunAsUser(1001, 1001, [] {
    char* t = nullptr;
    if (GetAlias("staff", &t, ALIAS_SCOPE_ANY) != 0) return 1;  // everyone reads
    FreeAliasBuff(t);
    return SetAlias("staff", "SMITH\0", ALIAS_SCOPE_SYSTEM) == ERROR_ACCESS_DENIED ? 0 : 2;
  });
  EXPECT_EQ(rc, 0);
}

TEST_F(Aliases, StoreFailuresAreReported) {
  platform::fault::Scope faults;
  ASSERT_EQ(SetAlias("x", List({"A"}).c_str(), ALIAS_SCOPE_USER), 0u);
  platform::fault::FailNth(platform::fault::Op::RegRead, 1, ERROR_IO_DEVICE, true);
  char* t = nullptr;
  EXPECT_EQ(GetAlias("x", &t, ALIAS_SCOPE_ANY), ERROR_IO_DEVICE);
  EXPECT_EQ(t, nullptr);
  platform::fault::Clear();
  platform::fault::FailNth(platform::fault::Op::RegWrite, 1, ERROR_DISK_FULL, true);
  EXPECT_EQ(SetAlias("y", List({"B"}).c_str(), ALIAS_SCOPE_USER), ERROR_DISK_FULL);
  EXPECT_EQ(platform::GetLastError(), ERROR_DISK_FULL);
}

TEST(PrepareAliasAddressList, SplitsWhatAUserTypes) {
  struct Row {
    const char* text;
    Names want;
  } rows[] = {
      {"SMITH, JONES (comment) NODE::BROWN", {"SMITH", "JONES", "NODE::BROWN"}},
      {" , ,, ", {}},
      {"", {}},
      {"\"a b\"::X  Y,Z", {"\"a b\"::X", "Y", "Z"}},
      {"A (x (y)) B", {"A", "B"}},
  };
  for (const Row& r : rows) {
    char* list = reinterpret_cast<char*>(1);
    ASSERT_EQ(PrepareAliasAddressList(r.text, &list), 0u) << r.text;
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(Strings(list), r.want) << r.text;
    FreeAliasBuff(list);
  }
}

TEST(PrepareAliasAddressList, ScannerFailuresAreReported) {
  struct Row {
    const char* text;
    uint32_t want;
  } rows[] = {{"SMITH \"JONES", ERR_UNBALANCED_QUOTES}, {"SMITH (open", ERR_UNBALANCED_PARENS}};
  for (const Row& r : rows) {
    char* list = reinterpret_cast<char*>(1);
    EXPECT_EQ(PrepareAliasAddressList(r.text, &list), r.want) << r.text;
    EXPECT_EQ(platform::GetLastError(), r.want);
    EXPECT_EQ(list, nullptr);
  }
}

}  // namespace
