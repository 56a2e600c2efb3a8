// The whole settings sheet through the Settings command: an untouched sheet writes
// nothing even when every page was visited, what the pages change is what pellreg
// then shows in the registry store, and a picture of each page.
#include <QButtonGroup>
#include <QCheckBox>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>

#include <cstdio>
#include <filesystem>

#include "platform/fault.h"
#include "settings/alias_page.h"
#include "settings/pref_page.h"
#include "settings/reply_page.h"
#include "settings/sys_prof_page.h"
#include "settings/usr_prof_page.h"
#include "settings_test_support.h"

namespace pelldesk::test {
namespace {

namespace fs = std::filesystem;

const std::string kPellreg = std::string(PELLAM_BINARY_DIR) + "/bin/pellreg";

// pellreg's standard output for `arguments` (each passed as one word).
std::string Pellreg(const std::vector<std::string>& arguments) {
  std::string command = kPellreg;
  for (const std::string& a : arguments) command += " '" + a + "'";
  std::string out;
  if (FILE* pipe = ::popen((command + " 2>&1").c_str(), "r")) {
    char buffer[512];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
    ::pclose(pipe);
  }
  return out;
}

using SettingsCommand = SettingsFixture;

TEST_F(SettingsCommand, ConfirmingItUntouchedWritesNothingEvenAfterEveryPageWasVisited) {
  StoreSystemProfile("/var/spool/pellam/queue/", "/var/spool/pellam/temp/", "GATE", "/var/log/pellam.err");
  ASSERT_EQ(SetAlias("staff", "SMITH\0", ALIAS_SCOPE_USER), 0u);
  pellam::test::WriteTextFile(sandbox_.MailDirectory() + "autorep.log", "NODE::SMITH\r\n");
  for (bool visit : {false, true}) {
    platform::fault::Scope faults;
    EXPECT_TRUE(RunSettingsSheet(app_, [&](fw::PropertySheet& sheet) {
      ASSERT_EQ(sheet.pageCount(), 5);
      for (int page = 0; visit && page < 5; ++page) {
        ShowPage(sheet, page);
        EXPECT_EQ(ActiveIndex(sheet), page);
      }
    }));
    EXPECT_EQ(platform::fault::Calls(platform::fault::Op::RegWrite), 0u) << "visited " << visit;
    EXPECT_EQ(platform::fault::Calls(platform::fault::Op::Delete), 0u) << "visited " << visit;
  }
  EXPECT_EQ(boxes_.count(), 0u);
  MailSystemProfile system{};
  ASSERT_EQ(GetMailSystemProfile(&system, sizeof system), 0u);
  EXPECT_STREQ(system.ErrorFile, "/var/log/pellam.err");
  EXPECT_TRUE(fs::exists(sandbox_.MailDirectory() + "autorep.log"));
}

TEST_F(SettingsCommand, WhatThePagesChangeIsWhatPellregShowsInTheStore) {
  ASSERT_TRUE(fs::exists(kPellreg)) << "build the pellreg target: " << kPellreg;
  StoreSystemProfile("/var/spool/pellam/queue/", "/var/spool/pellam/temp/", "", "");
  EXPECT_TRUE(RunSettingsSheet(app_, [&](fw::PropertySheet& sheet) {
    auto* pref = FindPage<CPrefPage>(sheet);
    pref->soundGroup()->button(kSoundFile)->click();
    Type(pref->soundFileEdit(), " chime.wav ");
    pref->findChild<QCheckBox*>("1022")->click();

    ShowPage(sheet, 1);
    auto* user = FindPage<CUsrProfPage>(sheet);
    ClearField(user->fullNameEdit());
    Type(user->fullNameEdit(), "Ann Q. Smith");
    Type(user->forwardEdit(), "NODE::ANNE");
    user->disableNewMailBox()->click();

    ShowPage(sheet, 2);
    Type(FindPage<CSysProfPage>(sheet)->gatewayEdit(), "GATE");

    ShowPage(sheet, 3);
    auto* alias = FindPage<CAliasPage>(sheet);
    Type(alias->nameEdit(), "team");
    Type(alias->translationEdit(), "SMITH, JONES");  // stored when the page is left

    ShowPage(sheet, 4);
    FindPage<CReplyPage>(sheet)->typeGroup()->button(2)->click();
  }));
  EXPECT_EQ(boxes_.count(), 0u);

  EXPECT_EQ(Pellreg({"query", "HKCU\\Software\\Corwent\\Pellam", "/s"}),
            "HKEY_CURRENT_USER\\Software\\Corwent\\Pellam\n"
            "    AutoReply    REG_DWORD    0x3\n"
            "    DisableNewMail    REG_DWORD    0x1\n"
            "    Forward    REG_SZ    NODE::ANNE\n"
            "    FullName    REG_SZ    Ann Q. Smith\n"
            "\n"
            "HKEY_CURRENT_USER\\Software\\Corwent\\Pellam\\Alias\n"
            "    team    REG_MULTI_SZ    SMITH\\0JONES\n"
            "\n");
  EXPECT_EQ(Pellreg({"query", "HKLM\\Software\\Corwent\\Pellam", "/v", "ExternalGateway"}),
            "HKEY_LOCAL_MACHINE\\Software\\Corwent\\Pellam\n"
            "    ExternalGateway    REG_SZ    GATE\n");
  EXPECT_EQ(Pellreg({"query", "HKCU\\Software\\Corwent\\Pelldesk\\Settings"}),
            "HKEY_CURRENT_USER\\Software\\Corwent\\Pelldesk\\Settings\n"
            "    Beep    REG_DWORD    0x2\n"
            "    BeepFile    REG_SZ    chime.wav\n"
            "    ColumnHeaders    REG_DWORD    0x1\n"
            "    FolderCreation    REG_DWORD    0x0\n"
            "    FolderDeletion    REG_DWORD    0x0\n"
            "    QueryExit    REG_DWORD    0x1\n"
            "\n");
}

TEST_F(SettingsCommand, Screenshots) {
  StoreSystemProfile("/var/spool/pellam/queue/", "/var/spool/pellam/temp/", "GATEWY", "");
  ASSERT_EQ(SetAlias("staff", "SMITH\0NODE::JONES\0", ALIAS_SCOPE_USER), 0u);
  ASSERT_EQ(SetAlias("Team", "BROWN\0", ALIAS_SCOPE_USER), 0u);
  pellam::test::WriteTextFile(sandbox_.MailDirectory() + "autorep.log", "NODE::SMITH\r\n");
  int pages = 0;
  RunSettingsSheet(app_, [&](fw::PropertySheet& sheet) {
    for (int page = 0; page < sheet.pageCount(); ++page) {
      ShowPage(sheet, page);
      if (page == 3) Type(FindPage<CAliasPage>(sheet)->nameEdit(), "staff");
      ProcessEvents();
      const QImage picture = sheet.grab().toImage();
      SaveScreenshot(picture, "settings-page-" + std::to_string(page) + ".png", sandbox_.Path("pictures"));
      // The page's first edit field is drawn where it stands, its right end left blank.
      for (QLineEdit* edit : sheet.findChildren<QLineEdit*>()) {
        if (!edit->isVisible()) continue;
        const QPoint inside = edit->mapTo(&sheet, QPoint(edit->width() - 4, edit->height() / 2));
        EXPECT_EQ(picture.pixelColor(inside).rgb(), edit->palette().color(QPalette::Base).rgb()) << "page " << page;
        break;
      }
      ++pages;
    }
  }, false);
  EXPECT_EQ(pages, 5);
}

}  // namespace
}  // namespace pelldesk::test
