// The Preferences, User profile and System profile pages in a sandbox: the Test button,
// what apply hands on (trimmed, case-sensitive, cleared fields as the delete mark),
// the directory questions with both answers, untouched pages that change nothing, an
// unreadable character, and a user who may not write the machine's profile.
#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cstring>

#include "needs_root.h"
#include "platform/accounts.h"
#include "platform/errors.h"
#include "settings/pref_page.h"
#include "settings/sys_prof_page.h"
#include "settings/usr_prof_page.h"
#include "settings_test_support.h"

namespace pelldesk::test {
namespace {

const char kMailDirectoryQuestion[] =
    "You have changed your mail directory name.\r\nYou must restart Pelldesk for this to take "
    "effect.\r\nMessages will not be automatically transferred.";
const char kQueueQuestion[] =
    "To change the queue and temporary directories, you\r\nmust use Control Panel to restart the "
    "Pellam service.\r\nUnsent messages will not be automatically transferred.";

class SettingsPages : public SettingsFixture {
 protected:
  MailProfile FetchUser() {
    MailProfile profile{};
    EXPECT_EQ(GetMailProfile(&profile, sizeof profile), 0u);
    return profile;
  }
  MailSystemProfile FetchSystem() {
    MailSystemProfile profile{};
    EXPECT_EQ(GetMailSystemProfile(&profile, sizeof profile), 0u);
    return profile;
  }
};

TEST_F(SettingsPages, TestPlaysTheChosenIndicationAndStoresNothing) {
  CPrefPage page(app_);
  page.OnInitDialog();
  EXPECT_TRUE(page.soundGroup()->button(kSoundBeep)->isChecked()) << "the default mode";
  EXPECT_FALSE(page.soundFileEdit()->isEnabled());

  page.soundGroup()->button(kSoundFile)->click();
  EXPECT_TRUE(page.soundFileEdit()->isEnabled());
  page.testButton()->click();  // no file named: the built-in sound
  Type(page.soundFileEdit(), "  /snd/chime.wav \t");
  page.testButton()->click();
  page.soundGroup()->button(kSoundBeep)->click();
  EXPECT_FALSE(page.soundFileEdit()->isEnabled());
  page.testButton()->click();
  page.soundGroup()->button(kSoundNone)->click();
  page.testButton()->click();

  const std::vector<std::string> want = {"builtin",     "file:/snd/chime.wav", "beep:660:25",
                                         "pause:50",    "beep:660:25",         "pause:50",
                                         "beep:660:25", "pause:50"};
  EXPECT_EQ(app_.sounds->Calls(), want);
  EXPECT_EQ(app_.beep(), kSoundBeep);
  EXPECT_EQ(app_.beepFile(), "");
  EXPECT_FALSE(app_.settingsDirty());
}

TEST_F(SettingsPages, EachPreferenceBoxChangesItsOwnSetting) {
  struct Row {
    const char* id;
    bool Preferences::*setting;
  } rows[] = {{"1020", &Preferences::folderCreation},
              {"1023", &Preferences::folderDeletion},
              {"1022", &Preferences::queryExit},
              {"1029", &Preferences::columnHeaders}};
  for (const Row& row : rows) {
    const Preferences before = app_.preferences();
    CPrefPage page(app_);
    page.OnInitDialog();
    EXPECT_FALSE(page.ApplyChanges()) << row.id << ": nothing changed yet";
    page.findChild<QCheckBox*>(row.id)->click();
    ASSERT_TRUE(page.OnKillActive());
    EXPECT_TRUE(page.ApplyChanges()) << row.id;
    Preferences want = before;
    want.*row.setting = !(before.*row.setting);
    EXPECT_TRUE(app_.preferences() == want) << "box " << row.id << " changed another setting";
    EXPECT_TRUE(app_.settingsDirty());
  }
}

TEST_F(SettingsPages, ALetterCaseChangeOfTheMailDirectoryAsksNothingButIsWritten) {
  MailProfile record = FetchUser();
  CUsrProfPage page(record);
  page.OnInitDialog();
  EXPECT_EQ(Text(page.accountNameLabel()->text()), "ann");
  const std::string stored = sandbox_.MailDirectory();
  ASSERT_EQ(Text(page.mailDirectoryEdit()->text()), stored);
  const std::string upper = stored.substr(0, stored.size() - 5) + "MAIL/";
  ClearField(page.mailDirectoryEdit());
  Type(page.mailDirectoryEdit(), upper);
  EXPECT_TRUE(page.OnKillActive());
  EXPECT_EQ(boxes_.count(), 0u);
  EXPECT_TRUE(page.ApplyChanges());
  EXPECT_STREQ(record.MailDirectory, upper.c_str());
  ASSERT_EQ(UpdateMailProfile(&record, sizeof record), 0u);
  EXPECT_EQ(FetchUser().MailDirectory, upper);
}

TEST_F(SettingsPages, CancelToTheMailDirectoryQuestionRestoresItAndOkIsAskedOnce) {
  const std::string moved = sandbox_.Path("srv/mail/ann/");
  bool accepted = RunSettingsSheet(app_, [&](fw::PropertySheet& sheet) {
    ShowPage(sheet, 1);
    auto* page = FindPage<CUsrProfPage>(sheet);
    ClearField(page->mailDirectoryEdit());
    Type(page->mailDirectoryEdit(), moved);
    boxes_.QueueAnswer(fw::IDCANCEL);
    ShowPage(sheet, 2);
    EXPECT_EQ(ActiveIndex(sheet), 1) << "Cancel stays on the page";
    EXPECT_EQ(Text(page->mailDirectoryEdit()->text()), sandbox_.MailDirectory());

    ClearField(page->mailDirectoryEdit());
    Type(page->mailDirectoryEdit(), moved);
    boxes_.QueueAnswer(fw::IDOK);
    ShowPage(sheet, 2);
    EXPECT_EQ(ActiveIndex(sheet), 2);
    ShowPage(sheet, 1);
    Type(page->mailDirectoryEdit(), "x/");
    ShowPage(sheet, 0);
    EXPECT_EQ(ActiveIndex(sheet), 0) << "not asked again";
  });
  EXPECT_TRUE(accepted);
  ASSERT_EQ(boxes_.count(), 2u);
  for (const BoxRecord& box : boxes_.boxes()) {
    EXPECT_EQ(box.text, kMailDirectoryQuestion);
    EXPECT_EQ(box.style, fw::MB_OKCANCEL | fw::MB_ICONQUESTION);
  }
  EXPECT_EQ(FetchUser().MailDirectory, moved + "x/");
}

TEST_F(SettingsPages, AFullNameOfBlanksDeletesItAndTheAccountsNameComesBack) {
  MailProfile named{};
  named.AutoReply = -1;
  named.DisableNewMail = -1;
  std::strcpy(named.FullName, "Ann Q. Smith");
  ASSERT_EQ(UpdateMailProfile(&named, sizeof named), 0u);

  MailProfile record = FetchUser();
  CUsrProfPage page(record);
  page.OnInitDialog();
  ClearField(page.fullNameEdit());
  Type(page.fullNameEdit(), "   ");
  ASSERT_TRUE(page.OnKillActive());
  EXPECT_TRUE(page.ApplyChanges());
  EXPECT_STREQ(record.FullName, "\x7f");
  EXPECT_STREQ(record.Forward, "") << "untouched fields are left alone";
  EXPECT_EQ(record.DisableNewMail, -1);
  EXPECT_EQ(record.AutoReply, -1);
  ASSERT_EQ(UpdateMailProfile(&record, sizeof record), 0u);
  EXPECT_STREQ(FetchUser().FullName, "Ann Smith");
}

TEST_F(SettingsPages, UntouchedProfilePagesChangeNothingUnlessAStoredTextNeedsTrimming) {
  MailProfile stored{};
  stored.AutoReply = -1;
  stored.DisableNewMail = 5;  // written by hand: any nonzero value stops delivery
  std::strcpy(stored.Forward, "NODE::ANN ");
  ASSERT_EQ(UpdateMailProfile(&stored, sizeof stored), 0u);
  StoreSystemProfile("/var/spool/pellam/queue/", "/var/spool/pellam/temp/", "GATE", "/var/log/err");

  MailProfile user = FetchUser();
  CUsrProfPage visited(user);
  visited.OnInitDialog();
  ASSERT_TRUE(visited.OnKillActive());
  EXPECT_TRUE(visited.ApplyChanges()) << "the stored forward has a trailing blank";
  EXPECT_STREQ(user.Forward, "NODE::ANN");
  EXPECT_EQ(user.DisableNewMail, -1) << "a visit does not rewrite 5 as 1";
  EXPECT_STREQ(user.FullName, "");
  EXPECT_STREQ(user.MailDirectory, "");

  MailSystemProfile system = FetchSystem();
  CSysProfPage never(system);  // not visited: its members are what it was built with
  EXPECT_FALSE(never.ApplyChanges());
  MailSystemProfile zero{};
  EXPECT_EQ(std::memcmp(&system, &zero, sizeof zero), 0) << "an empty record of changes";
}

TEST_F(SettingsPages, AQueueDirectoryWithoutItsSlashIsAChangeAndReadsBackWithOne) {
  StoreSystemProfile("/var/spool/pellam/queue/", "/var/spool/pellam/temp/", "", "/var/log/pellam.err");
  MailSystemProfile record = FetchSystem();
  CSysProfPage page(record);
  page.OnInitDialog();
  EXPECT_EQ(Text(page.computerNameLabel()->text()), platform::ComputerName());
  ClearField(page.queueEdit());
  Type(page.queueEdit(), "/var/spool/pellam/queue");
  boxes_.QueueAnswer(fw::IDOK);
  EXPECT_TRUE(page.OnKillActive());
  ASSERT_EQ(boxes_.count(), 1u);
  EXPECT_EQ(boxes_.boxes()[0].text, kQueueQuestion);
  EXPECT_EQ(boxes_.boxes()[0].style, fw::MB_OKCANCEL | fw::MB_ICONQUESTION);
  EXPECT_TRUE(page.ApplyChanges());
  EXPECT_STREQ(record.MailQueuePath, "/var/spool/pellam/queue");
  EXPECT_STREQ(record.ErrorFile, "") << "the error file is left as stored";
  ASSERT_EQ(UpdateMailSystemProfile(&record, sizeof record), 0u);
  MailSystemProfile again = FetchSystem();
  EXPECT_STREQ(again.MailQueuePath, "/var/spool/pellam/queue/");
  EXPECT_STREQ(again.ErrorFile, "/var/log/pellam.err");
}

TEST_F(SettingsPages, CancelToTheQueueQuestionRestoresBothDirectories) {
  StoreSystemProfile("/q/", "/t/", "", "");
  MailSystemProfile record = FetchSystem();
  CSysProfPage page(record);
  page.OnInitDialog();
  Type(page.queueEdit(), "new");
  Type(page.tempEdit(), "new");
  boxes_.QueueAnswer(fw::IDCANCEL);
  EXPECT_FALSE(page.OnKillActive());
  EXPECT_EQ(Text(page.queueEdit()->text()), "/q/");
  EXPECT_EQ(Text(page.tempEdit()->text()), "/t/");
  EXPECT_FALSE(page.directoryChangeConfirmed);
  EXPECT_FALSE(page.ApplyChanges());
}

TEST_F(SettingsPages, ClearedFieldsDeleteTheGatewayButNeverTheQueue) {
  StoreSystemProfile("/q/", "/t/", "GATE", "");
  MailSystemProfile record = FetchSystem();
  CSysProfPage page(record);
  page.OnInitDialog();
  ClearField(page.gatewayEdit());
  ClearField(page.queueEdit());
  boxes_.QueueAnswer(fw::IDOK);
  ASSERT_TRUE(page.OnKillActive());
  EXPECT_TRUE(page.ApplyChanges());
  EXPECT_STREQ(record.ExternalGateway, "\x7f");
  EXPECT_STREQ(record.MailQueuePath, "\x7f");
  ASSERT_EQ(UpdateMailSystemProfile(&record, sizeof record), 0u);
  MailSystemProfile again = FetchSystem();
  EXPECT_STREQ(again.ExternalGateway, "");
  EXPECT_STREQ(again.MailQueuePath, "/q/");
}

TEST_F(SettingsPages, AFieldWithACharacterTheCodePageCannotHoldKeepsTheUserOnThePage) {
  MailProfile record = FetchUser();
  const MailProfile before = record;
  CUsrProfPage page(record);
  page.OnInitDialog();
  page.fullNameEdit()->setText(QString::fromUtf8("Ann \xe2\x82\xac Smith"));  // a euro sign
  EXPECT_FALSE(page.OnKillActive());
  ASSERT_EQ(boxes_.count(), 1u);
  EXPECT_EQ(boxes_.boxes()[0].text, "This field holds a character that cannot be stored.");
  EXPECT_EQ(page.fullName, "Ann Smith") << "the member keeps the last readable text";
  EXPECT_EQ(std::memcmp(&record, &before, sizeof record), 0);
}

TEST_F(SettingsPages, AUserWhoMayNotWriteTheMachineProfileGetsTheAccessDeniedText) {
  PELLAM_NEEDS_ROOT("acts as another account");
  StoreSystemProfile("/q/", "/t/", "", "");
  sandbox_.AddUser("bob", 1001, "Bob", "/home/bob");
  const int rc = pellam::test::RunAsUser(1001, 1001, [&] {
    MailSystemProfile record{};
    if (GetMailSystemProfile(&record, sizeof record) != 0) return 1;  // everyone reads it
    MailProfile user{};
    CSysProfPage page(record);
    page.OnInitDialog();
    Type(page.gatewayEdit(), "GATE");
    if (!page.OnKillActive()) return 2;
    ApplySettingsPages(app_, {&page}, user, record);
    const std::vector<BoxRecord> shown = boxes_.boxes();
    if (shown.size() != 1) return 3;
    return shown[0].text == "Can't update your Pellam system profile.\r\n\r\n" +
                                StatusText(ERROR_ACCESS_DENIED)
               ? 0
               : 4;
  });
  EXPECT_EQ(rc, 0) << "1 unreadable, 2 page refused, 3 not one box, 4 another text";
  EXPECT_STREQ(FetchSystem().ExternalGateway, "");
}

}  // namespace
}  // namespace pelldesk::test
