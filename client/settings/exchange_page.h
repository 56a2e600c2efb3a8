// The settings pages' common ground: members exchanged with controls in one place
// (DoDataExchange), shown when a page first opens and read back whenever the user
// leaves it. Reading refuses a field holding a character the client's code page
// cannot hold, with a message and the field focused, so nothing is changed silently.
#pragma once

#include <string>

#include "app/settings_sheet.h"

class QAbstractButton;
class QButtonGroup;
class QLineEdit;
class QPlainTextEdit;

namespace pelldesk {

class CExchangePage : public CSettingsPage {
 public:
  using CSettingsPage::CSettingsPage;

  // save: the controls into the members, false when a field cannot be read (the
  // members read so far keep what was read). Otherwise the members into the controls.
  bool UpdateData(bool save) { return DoDataExchange(save); }

  void OnInitDialog() override { UpdateData(false); }
  bool OnKillActive() override { return UpdateData(true); }

 protected:
  virtual bool DoDataExchange(bool save) = 0;
};

// Exchange of one control with one member; only reading text can fail.
bool ExchangeText(bool save, QLineEdit* edit, std::string* member);
// Lines cross as CR LF in the member. Showing marks the field as not modified.
bool ExchangeText(bool save, QPlainTextEdit* edit, std::string* member);
// Shown checked when the member is not 0. Read unchecked as 0; checked as 1, unless the
// member already holds another nonzero value, which it keeps.
void ExchangeCheck(bool save, QAbstractButton* box, int* member);
void ExchangeCheck(bool save, QAbstractButton* box, bool* member);
// The member is the checked button's id in the group. A value without a button shows
// no button checked; reading with no button checked keeps the member as it was.
void ExchangeRadio(bool save, QButtonGroup* group, int* member);

// The limit of a text that goes into a 260-byte record field.
inline constexpr int kRecordTextMax = 259;

}  // namespace pelldesk
