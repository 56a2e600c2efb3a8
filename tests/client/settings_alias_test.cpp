// The Alias names page in a sandbox: names typed in another letter case, translations
// kept or emptied as names change, both scopes, translations refused, stored as typed
// and shown again line by line, storing on leaving the page, removing a name the store
// no longer has, and the failures of listing and storing, a user without the right to
// write the machine's aliases included.
#include <QButtonGroup>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

#include <optional>
#include <vector>

#include "needs_root.h"
#include "platform/errors.h"
#include "platform/fault.h"
#include "settings/alias_page.h"
#include "settings_test_support.h"

namespace pelldesk::test {
namespace {

using Addresses = std::vector<std::string>;

void StoreAlias(const char* name, const Addresses& addresses, uint32_t scope) {
  std::string list;
  for (const std::string& a : addresses) list += a + '\0';
  list += '\0';
  ASSERT_EQ(SetAlias(name, list.c_str(), scope), 0u) << name;
}

// The stored translation, or nullopt when the scope has no such alias.
std::optional<Addresses> StoredAlias(const char* name, uint32_t scope) {
  char* list = nullptr;
  if (GetAlias(name, &list, scope) != 0) return std::nullopt;
  Addresses addresses;
  for (const char* s = list; *s != '\0'; s += std::strlen(s) + 1) addresses.emplace_back(s);
  FreeAliasBuff(list);
  return addresses;
}

std::vector<std::string> Listed(const CAliasPage& page) {
  std::vector<std::string> names;
  for (int row = 0; row < page.nameList()->count(); ++row) {
    names.push_back(Text(page.nameList()->item(row)->text()));
  }
  return names;
}

// Which of Add, Change and Remove are enabled, as "ACR" with "-" for a disabled one.
std::string Buttons(const CAliasPage& page) {
  std::string state;
  state += page.addButton()->isEnabled() ? 'A' : '-';
  state += page.changeButton()->isEnabled() ? 'C' : '-';
  state += page.removeButton()->isEnabled() ? 'R' : '-';
  return state;
}

std::string Shown(const CAliasPage& page) { return Text(page.translationEdit()->toPlainText()); }

using AliasPage = SettingsFixture;

TEST_F(AliasPage, ANameTypedInAnotherLetterCaseSelectsTheAliasAndLoadsItsTranslation) {
  StoreAlias("Staff", {"SMITH", "NODE::JONES"}, ALIAS_SCOPE_USER);
  CAliasPage page(app_);
  page.OnInitDialog();
  EXPECT_EQ(Buttons(page), "---");
  struct Step {
    const char* typed;
    int index;
    std::string shown;
    std::string buttons;
  } steps[] = {{"sTA", -1, "", "---"},
               {"FF", 0, "SMITH\nNODE::JONES\n", "--R"},
               {"x", -1, "", "---"}};
  for (const Step& step : steps) {
    Type(page.nameEdit(), step.typed);
    EXPECT_EQ(page.currentIndex, step.index) << "after typing " << step.typed;
    EXPECT_EQ(Shown(page), step.shown) << "after typing " << step.typed;
    EXPECT_EQ(Buttons(page), step.buttons) << "after typing " << step.typed;
  }
  // Back on the alias, editing its translation offers Change.
  Type(page.nameEdit(), "\b");
  ASSERT_EQ(page.currentIndex, 0);
  Type(page.translationEdit(), "BROWN\n");
  EXPECT_EQ(Buttons(page), "-CR");
}

TEST_F(AliasPage, ANewNameKeepsATypedTranslationButNotAListedAliasesOne) {
  StoreAlias("staff", {"SMITH"}, ALIAS_SCOPE_USER);
  CAliasPage page(app_);
  page.OnInitDialog();
  Type(page.translationEdit(), "BROWN");
  Type(page.nameEdit(), "team");
  EXPECT_EQ(Shown(page), "BROWN") << "what the user typed stays";
  EXPECT_EQ(Buttons(page), "A--");

  CAliasPage again(app_);
  again.OnInitDialog();
  Type(again.nameEdit(), "staff");
  ASSERT_EQ(Shown(again), "SMITH\n");
  Type(again.nameEdit(), "2");
  EXPECT_EQ(Shown(again), "") << "a listed alias's translation goes with its name";
  EXPECT_EQ(Buttons(again), "---");

  // Edited before the name changed, the translation is the user's and stays.
  Type(again.nameEdit(), "\b");
  ASSERT_EQ(again.currentIndex, 0);
  Type(again.translationEdit(), "JONES ");
  Type(again.nameEdit(), "3");
  EXPECT_EQ(Shown(again), "JONES SMITH\n");
  EXPECT_EQ(Buttons(again), "A--");
}

TEST_F(AliasPage, SwitchingTheScopeShowsTheOtherScopesTranslationOfTheName) {
  StoreAlias("staff", {"SMITH"}, ALIAS_SCOPE_USER);
  StoreAlias("team", {"BROWN"}, ALIAS_SCOPE_USER);
  StoreAlias("staff", {"JONES"}, ALIAS_SCOPE_SYSTEM);
  struct Row {
    const char* name;
    std::vector<std::string> systemList;
    std::string shown;
    int index;
  } rows[] = {{"staff", {"staff"}, "JONES\n", 0}, {"team", {"staff"}, "", -1}};
  for (const Row& row : rows) {
    CAliasPage page(app_);
    page.OnInitDialog();
    EXPECT_EQ(Listed(page), (std::vector<std::string>{"staff", "team"}));
    Type(page.nameEdit(), row.name);
    page.scopeGroup()->button(1)->click();
    EXPECT_EQ(page.scopeIndex, 1);
    EXPECT_EQ(Listed(page), row.systemList) << row.name;
    EXPECT_EQ(Shown(page), row.shown) << row.name;
    EXPECT_EQ(page.currentIndex, row.index) << row.name;
    EXPECT_EQ(Text(page.nameEdit()->text()), row.name) << "the name stays";
  }
}

TEST_F(AliasPage, ATranslationOfBlanksAndCommasIsRefusedAndNothingStored) {
  CAliasPage page(app_);
  page.OnInitDialog();
  Type(page.nameEdit(), "empty");
  Type(page.translationEdit(), " , ,,\n ,");
  ASSERT_EQ(Buttons(page), "A--");
  page.addButton()->click();
  ASSERT_EQ(boxes_.count(), 1u);
  EXPECT_EQ(boxes_.boxes()[0].text, "Can't parse the translation list.");
  EXPECT_EQ(boxes_.boxes()[0].style, fw::MB_ICONEXCLAMATION);
  EXPECT_EQ(StoredAlias("empty", ALIAS_SCOPE_USER), std::nullopt);
  EXPECT_EQ(Text(page.nameEdit()->text()), "empty") << "the fields keep what was typed";
  EXPECT_EQ(Shown(page), " , ,,\n ,");

  // A translation the address scanner refuses gives its reason.
  ClearField(page.translationEdit());
  Type(page.translationEdit(), "\"SMITH");
  page.addButton()->click();
  ASSERT_EQ(boxes_.count(), 2u);
  EXPECT_EQ(boxes_.boxes()[1].text,
            "Can't parse the translation list.\r\n\r\n" + StatusText(ERR_UNBALANCED_QUOTES));
}

TEST_F(AliasPage, SmithAndJonesOnOneLineAreStoredAsTwoAddressesAndShownAsTwoLines) {
  CAliasPage page(app_);
  page.OnInitDialog();
  Type(page.nameEdit(), "pair");
  Type(page.translationEdit(), "SMITH, JONES");
  page.addButton()->click();
  EXPECT_EQ(boxes_.count(), 0u);
  EXPECT_EQ(StoredAlias("pair", ALIAS_SCOPE_USER), (Addresses{"SMITH", "JONES"}));
  EXPECT_EQ(Text(page.nameEdit()->text()), "") << "a stored alias clears the fields";
  EXPECT_EQ(Shown(page), "");
  EXPECT_EQ(page.currentIndex, -1);
  EXPECT_EQ(Listed(page), (std::vector<std::string>{"pair"}));

  Type(page.nameEdit(), "pair");
  EXPECT_EQ(Shown(page), "SMITH\nJONES\n");
  EXPECT_EQ(page.translation, "SMITH\r\nJONES\r\n");
}

TEST_F(AliasPage, ChangeReplacesTheTranslationOfTheAliasPickedInTheList) {
  StoreAlias("beta", {"B"}, ALIAS_SCOPE_USER);
  StoreAlias("Alpha", {"A"}, ALIAS_SCOPE_USER);
  StoreAlias("gamma", {"G"}, ALIAS_SCOPE_USER);
  CAliasPage page(app_);
  page.OnInitDialog();
  EXPECT_EQ(Listed(page), (std::vector<std::string>{"Alpha", "beta", "gamma"})) << "sorted, case ignored";
  page.nameList()->setCurrentRow(1);
  EXPECT_EQ(Text(page.nameEdit()->text()), "beta");
  EXPECT_EQ(Shown(page), "B\n");
  EXPECT_EQ(Buttons(page), "--R");
  Type(page.translationEdit(), "NODE::C\n");
  ASSERT_EQ(Buttons(page), "-CR");
  page.changeButton()->click();
  EXPECT_EQ(StoredAlias("beta", ALIAS_SCOPE_USER), (Addresses{"NODE::C", "B"}));
  EXPECT_EQ(Listed(page).size(), 3u) << "a name already listed is not listed twice";

  // A new name that differs from a listed one only in letter case is that alias.
  Type(page.nameEdit(), "ALPHA");
  EXPECT_EQ(page.currentIndex, 0);
}

TEST_F(AliasPage, LeavingThePageStoresAPendingAliasAndStaysWhenThatFails) {
  StoreAlias("staff", {"SMITH"}, ALIAS_SCOPE_USER);
  CAliasPage page(app_);
  page.OnInitDialog();
  platform::fault::Scope faults;
  Type(page.nameEdit(), "staff");
  EXPECT_TRUE(page.OnKillActive()) << "a listed alias, not edited";
  EXPECT_EQ(platform::fault::Calls(platform::fault::Op::RegWrite), 0u) << "nothing to store";

  Type(page.nameEdit(), "s");
  Type(page.translationEdit(), "JONES");
  platform::fault::FailNth(platform::fault::Op::RegWrite, 1, ERROR_DISK_FULL, true);
  EXPECT_FALSE(page.OnKillActive());
  ASSERT_EQ(boxes_.count(), 1u);
  EXPECT_EQ(boxes_.boxes()[0].text,
            "Update of alias name staffs failed.\r\n\r\n" + StatusText(ERROR_DISK_FULL));
  EXPECT_EQ(Text(page.nameEdit()->text()), "staffs");
  EXPECT_EQ(Shown(page), "JONES");

  platform::fault::Clear();
  EXPECT_TRUE(page.OnKillActive());
  EXPECT_EQ(StoredAlias("staffs", ALIAS_SCOPE_USER), (Addresses{"JONES"}));
  EXPECT_EQ(Listed(page), (std::vector<std::string>{"staff", "staffs"}));
}

TEST_F(AliasPage, RemovingANameTheStoreNoLongerHasIsReported) {
  StoreAlias("old", {"X"}, ALIAS_SCOPE_USER);
  StoreAlias("keep", {"Y"}, ALIAS_SCOPE_USER);
  CAliasPage page(app_);
  page.OnInitDialog();
  page.nameList()->setCurrentRow(1);
  ASSERT_EQ(Text(page.nameEdit()->text()), "old");
  ASSERT_EQ(SetAlias("old", nullptr, ALIAS_SCOPE_USER), 0u);  // removed elsewhere meanwhile
  page.removeButton()->click();
  ASSERT_EQ(boxes_.count(), 1u);
  EXPECT_EQ(boxes_.boxes()[0].text,
            "Alias name old cannot be deleted.\r\n\r\n" + StatusText(ERR_NO_SUCH_ALIAS));
  EXPECT_EQ(Text(page.nameEdit()->text()), "old");

  page.nameList()->setCurrentRow(0);
  page.removeButton()->click();
  EXPECT_EQ(boxes_.count(), 1u);
  EXPECT_EQ(StoredAlias("keep", ALIAS_SCOPE_USER), std::nullopt);
  EXPECT_EQ(Listed(page), (std::vector<std::string>{"old"}));
  EXPECT_EQ(Text(page.nameEdit()->text()), "");
  EXPECT_EQ(Buttons(page), "---");
}

TEST_F(AliasPage, AListThatCannotBeReadIsReported) {
  StoreAlias("staff", {"SMITH"}, ALIAS_SCOPE_USER);
  platform::fault::Scope faults;
  platform::fault::FailNth(platform::fault::Op::RegRead, 1, ERROR_IO_DEVICE);
  CAliasPage page(app_);
  page.OnInitDialog();
  ASSERT_EQ(boxes_.count(), 1u);
  EXPECT_EQ(boxes_.boxes()[0].text,
            "Can't get list of known aliases.\r\n\r\n" + StatusText(ERROR_IO_DEVICE));
  EXPECT_TRUE(Listed(page).empty());
}

TEST_F(AliasPage, AUserWhoMayNotWriteTheMachineAliasesGetsTheAccessDeniedText) {
  PELLAM_NEEDS_ROOT("acts as another account");
  StoreAlias("staff", {"JONES"}, ALIAS_SCOPE_SYSTEM);  // the machine hive exists
  sandbox_.AddUser("bob", 1001, "Bob", "/home/bob");
  const int rc = pellam::test::RunAsUser(1001, 1001, [&] {
    CAliasPage page(app_);
    page.OnInitDialog();
    page.scopeGroup()->button(1)->click();
    if (Listed(page) != std::vector<std::string>{"staff"}) return 1;  // everyone reads them
    Type(page.nameEdit(), "team");
    Type(page.translationEdit(), "SMITH");
    page.addButton()->click();
    const std::vector<BoxRecord> shown = boxes_.boxes();
    if (shown.size() != 1) return 2;
    return shown[0].text ==
                   "Update of alias name team failed.\r\n\r\n" + StatusText(ERROR_ACCESS_DENIED)
               ? 0
               : 3;
  });
  EXPECT_EQ(rc, 0) << "1 list unreadable, 2 not one box, 3 another text";
  EXPECT_EQ(StoredAlias("team", ALIAS_SCOPE_SYSTEM), std::nullopt);
}

}  // namespace
}  // namespace pelldesk::test
