// The settings sheet (command 32787): its pages and the order in which their changes
// are written after OK: the preferences into the client's settings, then the user's
// profile, then the machine's. The pages themselves are separate window classes; each
// says which record its apply step changes.
#pragma once

#include <vector>

#include "framework/property_sheet.h"
#include "pellam.h"

namespace pelldesk {

class CMailApp;

class CSettingsPage : public fw::PropertyPage {
 public:
  // What a page's apply step changes; Immediately: the page writes as the user acts.
  enum class Applies { Preferences, UserProfile, SystemProfile, Immediately };

  CSettingsPage(std::string caption, Applies applies)
      : fw::PropertyPage(std::move(caption)), applies_(applies) {}

  Applies applies() const { return applies_; }

  // Moves what the user set into its record (or the settings): true when it changed.
  virtual bool ApplyChanges() = 0;

 private:
  Applies applies_;
};

// The sheet's five pages in their order (Preferences, User profile, System profile,
// Alias names, Auto reply), built on the two records just fetched.
std::vector<CSettingsPage*> MakeSettingsPages(CMailApp& app, MailProfile& user,
                                              MailSystemProfile& system);

// After OK: every page's apply step, kind by kind, and the writes their changes call
// for, each failure reported.
void ApplySettingsPages(CMailApp& app, const std::vector<CSettingsPage*>& pages, MailProfile& user,
                        MailSystemProfile& system);

}  // namespace pelldesk
