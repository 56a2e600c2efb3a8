// The User profile page.
#include "settings/usr_prof_page.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "framework/text.h"
#include "settings/directory_question.h"
#include "settings/field_delta.h"
#include "settings/labelled_edit.h"

namespace pelldesk {

CUsrProfPage::CUsrProfPage(MailProfile& record)
    : CExchangePage("User profile", Applies::UserProfile),
      mailDirectory(FieldText(record.MailDirectory, sizeof record.MailDirectory)),
      fullName(FieldText(record.FullName, sizeof record.FullName)),
      forward(FieldText(record.Forward, sizeof record.Forward)),
      accountName(FieldText(record.AccountName, sizeof record.AccountName)),
      disableNewMail(record.DisableNewMail),
      profile(record),
      accountNameLabel_(new QLabel(QStringLiteral("Your Name Here"), this)),
      fullNameEdit_(RecordEdit("1009", this)),
      mailDirectoryEdit_(RecordEdit("1010", this)),
      forwardEdit_(RecordEdit("1011", this)),
      disableNewMailBox_(new QCheckBox(QStringLiteral("&Disable delivery of new mail"), this)) {
  accountNameLabel_->setObjectName(QStringLiteral("1012"));
  accountNameLabel_->setTextFormat(Qt::PlainText);
  disableNewMailBox_->setObjectName(QStringLiteral("1046"));

  auto* user = new QHBoxLayout;
  user->addWidget(new QLabel(QStringLiteral("User name: "), this));
  user->addWidget(accountNameLabel_, 1);

  auto* fields = new QGroupBox(this);
  auto* grid = new QGridLayout(fields);
  AddLabelledEdit(grid, 0, "Full &name", fullNameEdit_);
  AddLabelledEdit(grid, 1, "&Mail directory", mailDirectoryEdit_);
  AddLabelledEdit(grid, 2, "&Forward to", forwardEdit_);
  grid->addWidget(disableNewMailBox_, 3, 0, 1, 2);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(user);
  layout->addWidget(fields);
  layout->addStretch(1);
}

bool CUsrProfPage::DoDataExchange(bool save) {
  if (!save) accountNameLabel_->setText(fw::ToQt(accountName));
  ExchangeCheck(save, disableNewMailBox_, &disableNewMail);
  return ExchangeText(save, mailDirectoryEdit_, &mailDirectory) &&
         ExchangeText(save, fullNameEdit_, &fullName) && ExchangeText(save, forwardEdit_, &forward);
}

bool CUsrProfPage::OnKillActive() {
  if (!UpdateData(true)) return false;
  if (SameIgnoringCase(mailDirectory, profile.MailDirectory, sizeof profile.MailDirectory)) return true;
  if (ConfirmDirectoryChange("You have changed your mail directory name.\r\n"
                             "You must restart Pelldesk for this to take effect.\r\n"
                             "Messages will not be automatically transferred.",
                             &directoryChangeConfirmed)) {
    return true;
  }
  mailDirectory = FieldText(profile.MailDirectory, sizeof profile.MailDirectory);
  UpdateData(false);
  return false;
}

bool CUsrProfPage::ApplyChanges() {
  MailProfile changes{};
  changes.AutoReply = -1;
  bool changed = TextDelta(fullName, profile.FullName, changes.FullName, sizeof changes.FullName);
  changed |= TextDelta(mailDirectory, profile.MailDirectory, changes.MailDirectory,
                       sizeof changes.MailDirectory);
  changed |= TextDelta(forward, profile.Forward, changes.Forward, sizeof changes.Forward);
  changed |= NumberDelta(disableNewMail, profile.DisableNewMail, &changes.DisableNewMail);
  profile = changes;
  return changed;
}

}  // namespace pelldesk
