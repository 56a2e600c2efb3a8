// The System profile page.
#include "settings/sys_prof_page.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <algorithm>

#include "framework/text.h"
#include "platform/accounts.h"
#include "settings/directory_question.h"
#include "settings/field_delta.h"
#include "settings/labelled_edit.h"

namespace pelldesk {

CSysProfPage::CSysProfPage(MailSystemProfile& record)
    : CExchangePage("System profile", Applies::SystemProfile),
      queuePath(FieldText(record.MailQueuePath, sizeof record.MailQueuePath)),
      tempPath(FieldText(record.MailTempPath, sizeof record.MailTempPath)),
      gateway(FieldText(record.ExternalGateway, sizeof record.ExternalGateway)),
      computerName(platform::ComputerName().substr(0, 15)),
      profile(record),
      computerNameLabel_(new QLabel(QStringLiteral("Computer Name"), this)),
      queueEdit_(RecordEdit("1006", this)),
      tempEdit_(RecordEdit("1007", this)),
      gatewayEdit_(RecordEdit("1008", this)) {
  computerNameLabel_->setObjectName(QStringLiteral("1013"));
  computerNameLabel_->setTextFormat(Qt::PlainText);

  auto* directories = new QGroupBox(QStringLiteral("Directories"), this);
  auto* paths = new QGridLayout(directories);
  QLabel* queue = AddLabelledEdit(paths, 0, "&Queue", queueEdit_);
  QLabel* temp = AddLabelledEdit(paths, 1, "&Temp", tempEdit_);

  auto* network = new QGroupBox(this);
  auto* gateways = new QGridLayout(network);
  QLabel* gatewayLabel = AddLabelledEdit(gateways, 0, "&Gateway", gatewayEdit_);
  // The three fields start at one edge, though they stand in two boxes.
  const int labels = std::max({queue->sizeHint().width(), temp->sizeHint().width(),
                               gatewayLabel->sizeHint().width()});
  paths->setColumnMinimumWidth(0, labels);
  gateways->setColumnMinimumWidth(0, labels);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(computerNameLabel_);
  layout->addWidget(directories);
  layout->addWidget(network);
  layout->addStretch(1);
}

bool CSysProfPage::DoDataExchange(bool save) {
  if (!save) computerNameLabel_->setText(fw::ToQt(computerName));
  return ExchangeText(save, queueEdit_, &queuePath) && ExchangeText(save, tempEdit_, &tempPath) &&
         ExchangeText(save, gatewayEdit_, &gateway);
}

bool CSysProfPage::OnKillActive() {
  if (!UpdateData(true)) return false;
  if (SameIgnoringCase(queuePath, profile.MailQueuePath, sizeof profile.MailQueuePath) &&
      SameIgnoringCase(tempPath, profile.MailTempPath, sizeof profile.MailTempPath)) {
    return true;
  }
  if (ConfirmDirectoryChange("To change the queue and temporary directories, you\r\n"
                             "must use Control Panel to restart the Pellam service.\r\n"
                             "Unsent messages will not be automatically transferred.",
                             &directoryChangeConfirmed)) {
    return true;
  }
  queuePath = FieldText(profile.MailQueuePath, sizeof profile.MailQueuePath);
  tempPath = FieldText(profile.MailTempPath, sizeof profile.MailTempPath);
  UpdateData(false);
  return false;
}

bool CSysProfPage::ApplyChanges() {
  MailSystemProfile changes{};
  bool changed = TextDelta(queuePath, profile.MailQueuePath, changes.MailQueuePath,
                           sizeof changes.MailQueuePath);
  changed |= TextDelta(tempPath, profile.MailTempPath, changes.MailTempPath, sizeof changes.MailTempPath);
  changed |= TextDelta(gateway, profile.ExternalGateway, changes.ExternalGateway,
                       sizeof changes.ExternalGateway);
  profile = changes;
  return changed;
}

}  // namespace pelldesk
