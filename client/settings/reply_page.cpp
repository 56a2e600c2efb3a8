// The Auto reply page.
#include "settings/reply_page.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/mail_app.h"
#include "framework/message_box.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/find.h"
#include "settings/field_delta.h"

namespace pelldesk {
namespace {

constexpr int kNotEnabled = 0;

int ReplyTypeOf(int32_t autoReply) {
  if (autoReply == 0) return 0;
  return (autoReply & 2) != 0 ? 2 : 1;
}

QLabel* WrappedText(const char* text, QWidget* parent) {
  auto* label = new QLabel(QString::fromLatin1(text), parent);
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return label;
}

bool FileExists(const std::string& path) {
  platform::FindData data;
  platform::FindHandle found = platform::FindFirstFile(path.c_str(), &data);
  if (found == nullptr) return false;
  platform::FindClose(found);
  return true;
}

}  // namespace

int32_t CReplyPage::AutoReplyValue(int replyType) {
  static constexpr int32_t kStored[] = {0, 1, 3};
  return replyType >= 0 && replyType <= 2 ? kStored[replyType] : replyType;
}

CReplyPage::CReplyPage(CMailApp& app, MailProfile& record)
    : CExchangePage("Auto reply", Applies::UserProfile),
      replyType(ReplyTypeOf(record.AutoReply)),
      originalAutoReply(record.AutoReply),
      profile(record),
      app_(app),
      typeGroup_(new QButtonGroup(this)),
      deleteLogBox_(new QCheckBox(QStringLiteral("&Delete autorep.log"), this)),
      editButton_(new QPushButton(QStringLiteral("&Edit"), this)) {
  auto* types = new QGroupBox(QStringLiteral("Auto Reply Type"), this);
  auto* typeColumn = new QVBoxLayout(types);
  const char* typeTexts[] = {"&Not enabled", "&Once per sender", "&Always"};
  for (int type = 0; type < 3; ++type) {
    auto* radio = new QRadioButton(QString::fromLatin1(typeTexts[type]), types);
    radio->setObjectName(QString::number(1037 + type));
    typeGroup_->addButton(radio, type);
    typeColumn->addWidget(radio);
  }

  auto* log = new QGroupBox(QStringLiteral("Sender Log"), this);
  deleteLogBox_->setObjectName(QStringLiteral("1048"));
  auto* logColumn = new QVBoxLayout(log);
  logColumn->addWidget(deleteLogBox_);
  logColumn->addWidget(WrappedText("Check to reset the \"once per sender\" state.", log), 1);

  auto* text = new QGroupBox(QStringLiteral("Reply Text"), this);
  editButton_->setObjectName(QStringLiteral("1050"));
  editButton_->setAutoDefault(false);
  auto* textRow = new QHBoxLayout(text);
  textRow->addWidget(editButton_, 0, Qt::AlignVCenter);
  textRow->addWidget(WrappedText("Use this button to run Notepad to edit file autorep.txt, which "
                                 "holds the automatic reply text.",
                                 text),
                     1);

  auto* top = new QHBoxLayout;
  top->addWidget(types, 1);
  top->addWidget(log, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(text);
  layout->addStretch(1);

  connect(typeGroup_, &QButtonGroup::idClicked, this, [this](int type) { OnTypeClicked(type); });
  connect(editButton_, &QPushButton::clicked, this, [this] { OnEdit(); });
}

bool CReplyPage::DoDataExchange(bool save) {
  ExchangeRadio(save, typeGroup_, &replyType);
  ExchangeCheck(save, deleteLogBox_, &deleteLog);
  return true;
}

void CReplyPage::OnInitDialog() {
  const std::string directory = FieldText(profile.MailDirectory, sizeof profile.MailDirectory);
  if (!directory.empty()) {
    textPath = directory + "autorep.txt";
    logPath = directory + "autorep.log";
    logExists = FileExists(logPath);
    editorFallbacks = FallbackEditors(textPath);
  }
  CExchangePage::OnInitDialog();
  deleteLogBox_->setEnabled(logExists);
  editButton_->setEnabled(!textPath.empty());
}

void CReplyPage::OnTypeClicked(int type) {
  if (type == kNotEnabled) return;
  UpdateData(true);
  deleteLog = true;  // a changed reply type starts with a fresh sender log
  UpdateData(false);
}

void CReplyPage::OnEdit() {
  // An existing reply text is never touched; a missing one is made empty for the editor.
  platform::UniqueFile created(platform::CreateFile(textPath.c_str(), platform::kWrite,
                                                    platform::kShareRead | platform::kShareWrite,
                                                    platform::kCreateNew));
  created.reset();
  const std::string directory = FieldText(profile.MailDirectory, sizeof profile.MailDirectory);
  if (uint32_t status = StartAnyTextEditor(editorProgram, editorFallbacks, textPath, directory)) {
    app_.ReportErrorNoArg("Cannot start Notepad.", status, fw::MB_ICONEXCLAMATION);
  }
}

bool CReplyPage::ApplyChanges() {
  if (deleteLog && logExists) {
    if (platform::DeleteFile(logPath.c_str()) || platform::GetLastError() == ERROR_FILE_NOT_FOUND) {
      logExists = false;
    } else {
      app_.ReportError("File %s cannot be deleted.", logPath.c_str(), platform::GetLastError(),
                       fw::MB_ICONEXCLAMATION);
    }
  }
  // Deleting the log alone is no change of the profile.
  return NumberDelta(AutoReplyValue(replyType), originalAutoReply, &profile.AutoReply);
}

}  // namespace pelldesk
