// CSysProfPage, "System profile": the machine's queue and temporary directories and its
// gateway. Built on the system profile record the sheet fetched; after OK its apply step
// turns that record into a record of changes for UpdateMailSystemProfile, which never
// touches the error file or the service's numbers.
#pragma once

#include <string>

#include "pellam.h"
#include "settings/exchange_page.h"

class QLabel;
class QLineEdit;

namespace pelldesk {

class CSysProfPage : public CExchangePage {
 public:
  explicit CSysProfPage(MailSystemProfile& record);

  bool OnKillActive() override;
  bool ApplyChanges() override;

  std::string queuePath;
  std::string tempPath;
  std::string gateway;
  std::string computerName;
  MailSystemProfile& profile;
  bool directoryChangeConfirmed = false;

  // The controls, for tests.
  QLineEdit* queueEdit() const { return queueEdit_; }
  QLineEdit* tempEdit() const { return tempEdit_; }
  QLineEdit* gatewayEdit() const { return gatewayEdit_; }
  QLabel* computerNameLabel() const { return computerNameLabel_; }

 protected:
  bool DoDataExchange(bool save) override;

 private:
  QLabel* computerNameLabel_;
  QLineEdit* queueEdit_;
  QLineEdit* tempEdit_;
  QLineEdit* gatewayEdit_;
};

}  // namespace pelldesk
