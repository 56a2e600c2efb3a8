// CPrefPage, "Preferences": how new mail is signalled and the four window preferences.
// It changes nothing until the sheet is confirmed; its apply step then hands what
// differs to the application object, which marks the settings for saving.
#pragma once

#include <string>

#include "settings/exchange_page.h"

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QPushButton;

namespace pelldesk {

class CMailApp;

class CPrefPage : public CExchangePage {
 public:
  explicit CPrefPage(CMailApp& app);

  void OnInitDialog() override;
  bool ApplyChanges() override;

  // The page's members, in the order of its template.
  bool folderCreation;
  bool queryExit;
  bool folderDeletion;
  bool columnHeaders;
  int soundMode;
  std::string soundFile;

  // The controls, for tests.
  QButtonGroup* soundGroup() const { return soundGroup_; }
  QLineEdit* soundFileEdit() const { return soundFileEdit_; }
  QPushButton* testButton() const { return testButton_; }

 protected:
  bool DoDataExchange(bool save) override;

 private:
  void OnSoundModeClicked();
  void OnTest();
  void EnableSoundFile();

  CMailApp& app_;
  QButtonGroup* soundGroup_;
  QLineEdit* soundFileEdit_;
  QPushButton* testButton_;
  QCheckBox* folderCreationBox_;
  QCheckBox* folderDeletionBox_;
  QCheckBox* queryExitBox_;
  QCheckBox* columnHeadersBox_;
};

}  // namespace pelldesk
