// The Preferences page.
#include "settings/pref_page.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/mail_app.h"
#include "settings/field_delta.h"

namespace pelldesk {
namespace {

QCheckBox* CheckBox(const char* text, const char* id, QWidget* parent) {
  auto* box = new QCheckBox(QString::fromLatin1(text), parent);
  box->setObjectName(QString::fromLatin1(id));
  return box;
}

}  // namespace

CPrefPage::CPrefPage(CMailApp& app)
    : CExchangePage("Preferences", Applies::Preferences),
      folderCreation(app.folderCreation()),
      queryExit(app.queryExit()),
      folderDeletion(app.folderDeletion()),
      columnHeaders(app.columnHeaders()),
      soundMode(app.beep()),
      soundFile(app.beepFile()),
      app_(app),
      soundGroup_(new QButtonGroup(this)),
      soundFileEdit_(new QLineEdit(this)),
      testButton_(new QPushButton(QStringLiteral("&Test"), this)) {
  auto* indication = new QGroupBox(QStringLiteral("New mail indication"), this);
  const char* modes[] = {"&No sound", "&Beep", "&Play sound file"};
  for (int mode = 0; mode < 3; ++mode) {
    auto* radio = new QRadioButton(QString::fromLatin1(modes[mode]), indication);
    radio->setObjectName(QString::number(1033 + mode));
    soundGroup_->addButton(radio, mode);
  }
  soundFileEdit_->setObjectName(QStringLiteral("1032"));
  testButton_->setObjectName(QStringLiteral("1036"));
  auto* sound = new QGridLayout(indication);
  sound->addWidget(soundGroup_->button(kSoundNone), 0, 0);
  sound->addWidget(testButton_, 0, 2, Qt::AlignRight);
  sound->addWidget(soundGroup_->button(kSoundBeep), 1, 0);
  sound->addWidget(soundGroup_->button(kSoundFile), 2, 0);
  sound->addWidget(soundFileEdit_, 2, 1, 1, 2);
  sound->setColumnStretch(1, 1);

  auto* other = new QGroupBox(QStringLiteral("Other preferences"), this);
  folderCreationBox_ = CheckBox("&Create new folders on move", "1020", other);
  folderDeletionBox_ = CheckBox("&Delete empty folders on close", "1023", other);
  queryExitBox_ = CheckBox("&Exit confirmation required", "1022", other);
  columnHeadersBox_ = CheckBox("Column &headers visible", "1029", other);
  auto* boxes = new QVBoxLayout(other);
  for (QCheckBox* box : {folderCreationBox_, folderDeletionBox_, queryExitBox_, columnHeadersBox_}) {
    boxes->addWidget(box);
  }

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(indication);
  layout->addWidget(other);
  layout->addStretch(1);

  connect(soundGroup_, &QButtonGroup::idClicked, this, [this](int) { OnSoundModeClicked(); });
  connect(testButton_, &QPushButton::clicked, this, [this] { OnTest(); });
}

bool CPrefPage::DoDataExchange(bool save) {
  ExchangeCheck(save, folderCreationBox_, &folderCreation);
  ExchangeCheck(save, queryExitBox_, &queryExit);
  ExchangeCheck(save, folderDeletionBox_, &folderDeletion);
  ExchangeCheck(save, columnHeadersBox_, &columnHeaders);
  ExchangeRadio(save, soundGroup_, &soundMode);
  return ExchangeText(save, soundFileEdit_, &soundFile);
}

void CPrefPage::OnInitDialog() {
  CExchangePage::OnInitDialog();
  EnableSoundFile();
}

void CPrefPage::EnableSoundFile() { soundFileEdit_->setEnabled(soundMode == kSoundFile); }

void CPrefPage::OnSoundModeClicked() {
  UpdateData(true);
  EnableSoundFile();
}

void CPrefPage::OnTest() {
  if (!UpdateData(true)) return;
  app_.PlayNewMailSound(soundMode, TrimText(soundFile));
}

bool CPrefPage::ApplyChanges() {
  soundFile = TrimText(soundFile);
  Preferences chosen = app_.preferences();
  chosen.beep = soundMode;
  chosen.beepFile = soundFile;
  chosen.folderCreation = folderCreation;
  chosen.folderDeletion = folderDeletion;
  chosen.queryExit = queryExit;
  chosen.columnHeaders = columnHeaders;
  if (chosen == app_.preferences()) return false;
  app_.SetPreferences(chosen);  // marks the settings for saving
  return true;
}

}  // namespace pelldesk
