// CUsrProfPage, "User profile": the user's full name, mail directory, forwarding
// address and delivery switch. Built on the profile record the sheet fetched; after OK
// its apply step turns that record into a record of changes for UpdateMailProfile, on
// which the Auto reply page's apply step then adds its own.
#pragma once

#include <string>

#include "pellam.h"
#include "settings/exchange_page.h"

class QCheckBox;
class QLabel;
class QLineEdit;

namespace pelldesk {

class CUsrProfPage : public CExchangePage {
 public:
  explicit CUsrProfPage(MailProfile& record);

  bool OnKillActive() override;
  bool ApplyChanges() override;

  std::string mailDirectory;
  std::string fullName;
  std::string forward;
  std::string accountName;
  int disableNewMail;
  MailProfile& profile;
  bool directoryChangeConfirmed = false;

  // The controls, for tests.
  QLineEdit* fullNameEdit() const { return fullNameEdit_; }
  QLineEdit* mailDirectoryEdit() const { return mailDirectoryEdit_; }
  QLineEdit* forwardEdit() const { return forwardEdit_; }
  QCheckBox* disableNewMailBox() const { return disableNewMailBox_; }
  QLabel* accountNameLabel() const { return accountNameLabel_; }

 protected:
  bool DoDataExchange(bool save) override;

 private:
  QLabel* accountNameLabel_;
  QLineEdit* fullNameEdit_;
  QLineEdit* mailDirectoryEdit_;
  QLineEdit* forwardEdit_;
  QCheckBox* disableNewMailBox_;
};

}  // namespace pelldesk
