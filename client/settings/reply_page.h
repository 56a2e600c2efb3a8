// CReplyPage, "Auto reply": whether the Pellam service answers mail on the user's
// behalf, once per sender or always; the reply text autorep.txt in the mail directory,
// opened in the desktop's text editor; and the reset of the once-per-sender record
// autorep.log. Works on the profile record the User profile page also changes, after it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pellam.h"
#include "settings/exchange_page.h"
#include "settings/text_editor.h"

class QButtonGroup;
class QCheckBox;
class QPushButton;

namespace pelldesk {

class CMailApp;

class CReplyPage : public CExchangePage {
 public:
  CReplyPage(CMailApp& app, MailProfile& record);

  void OnInitDialog() override;
  bool ApplyChanges() override;

  int replyType;  // 0 not enabled, 1 once per sender, 2 always
  bool deleteLog = false;
  int32_t originalAutoReply;
  MailProfile& profile;
  std::string textPath;
  std::string logPath;
  bool logExists = false;
  // The editor the Edit button starts, and what it tries when that cannot open the
  // file (FallbackEditors, set by OnInitDialog).
  std::string editorProgram = kDesktopTextEditor;
  std::vector<std::vector<std::string>> editorFallbacks;

  // The stored AutoReply value of a reply type.
  static int32_t AutoReplyValue(int replyType);

  // The controls, for tests.
  QButtonGroup* typeGroup() const { return typeGroup_; }
  QCheckBox* deleteLogBox() const { return deleteLogBox_; }
  QPushButton* editButton() const { return editButton_; }

 protected:
  bool DoDataExchange(bool save) override;

 private:
  void OnTypeClicked(int type);
  void OnEdit();

  CMailApp& app_;
  QButtonGroup* typeGroup_;
  QCheckBox* deleteLogBox_;
  QPushButton* editButton_;
};

}  // namespace pelldesk
