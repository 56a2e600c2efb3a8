// Building, showing and applying the settings sheet.
#include "app/settings_sheet.h"

#include <QTabWidget>

#include "app/mail_app.h"
#include "framework/message_box.h"
#include "settings/alias_page.h"
#include "settings/pref_page.h"
#include "settings/reply_page.h"
#include "settings/sys_prof_page.h"
#include "settings/usr_prof_page.h"

namespace pelldesk {
namespace {

// Runs the apply step of every page of `kind`, all of them even after a change.
bool ApplyKind(const std::vector<CSettingsPage*>& pages, CSettingsPage::Applies kind) {
  bool changed = false;
  for (CSettingsPage* page : pages) {
    if (page->applies() == kind) changed |= page->ApplyChanges();
  }
  return changed;
}

}  // namespace

std::vector<CSettingsPage*> MakeSettingsPages(CMailApp& app, MailProfile& user,
                                              MailSystemProfile& system) {
  // The Auto reply page works on the User profile page's record and is applied after it.
  return {new CPrefPage(app), new CUsrProfPage(user), new CSysProfPage(system), new CAliasPage(app),
          new CReplyPage(app, user)};
}

void ApplySettingsPages(CMailApp& app, const std::vector<CSettingsPage*>& pages, MailProfile& user,
                        MailSystemProfile& system) {
  if (ApplyKind(pages, CSettingsPage::Applies::Preferences)) app.SaveSettings(true);
  if (ApplyKind(pages, CSettingsPage::Applies::UserProfile)) {
    if (uint32_t status = UpdateMailProfile(&user, sizeof user)) {
      app.ReportErrorNoArg("Can't update your Pellam user profile.", status, 0);
    }
  }
  if (ApplyKind(pages, CSettingsPage::Applies::SystemProfile)) {
    if (uint32_t status = UpdateMailSystemProfile(&system, sizeof system)) {
      app.ReportErrorNoArg("Can't update your Pellam system profile.", status, 0);
    }
  }
}

void CMailApp::ShowSettingsSheet() {
  // The results of the fetches are not checked: a page shows what the record holds.
  MailProfile user{};
  GetMailProfile(&user, sizeof user);
  MailSystemProfile system{};
  GetMailSystemProfile(&system, sizeof system);

  fw::PropertySheet sheet("Settings", mainWindow());
  // All five captions stay in view: the sheet grows to its tabs rather than scrolling them.
  if (auto* tabs = sheet.findChild<QTabWidget*>()) tabs->setUsesScrollButtons(false);
  std::vector<CSettingsPage*> pages = MakeSettingsPages(*this, user, system);
  for (CSettingsPage* page : pages) sheet.AddPage(page);
  if (sheet.DoModal() != fw::IDOK) return;
  ApplySettingsPages(*this, pages, user, system);
}

}  // namespace pelldesk
