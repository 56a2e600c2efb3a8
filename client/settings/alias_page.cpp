// The Alias names page.
#include "settings/alias_page.h"

#include <strings.h>

#include <cstring>

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "app/mail_app.h"
#include "framework/text.h"
#include "pellam.h"

namespace pelldesk {
namespace {

QPushButton* Button(const char* text, const char* id, QWidget* parent) {
  auto* button = new QPushButton(QString::fromLatin1(text), parent);
  button->setObjectName(QString::fromLatin1(id));
  button->setAutoDefault(false);  // Enter in the name field confirms the sheet, as OK should
  return button;
}

// The strings of an address list, which ends with an empty one.
template <typename Each>
void ForEachString(const char* list, Each each) {
  for (const char* s = list; s != nullptr && *s != '\0'; s += std::strlen(s) + 1) each(s);
}

}  // namespace

CAliasPage::CAliasPage(CMailApp& app)
    : CExchangePage("Alias names", Applies::Immediately),
      app_(app),
      nameEdit_(new QLineEdit(this)),
      nameList_(new QListWidget(this)),
      translationEdit_(new QPlainTextEdit(this)),
      scopeGroup_(new QButtonGroup(this)),
      addButton_(Button("&Add", "1016", this)),
      changeButton_(Button("&Change", "1018", this)),
      removeButton_(Button("&Remove", "1017", this)) {
  nameEdit_->setObjectName(QStringLiteral("1004"));
  nameList_->setObjectName(QStringLiteral("1004.list"));
  translationEdit_->setObjectName(QStringLiteral("1005"));
  translationEdit_->setTabChangesFocus(true);
  translationEdit_->setLineWrapMode(QPlainTextEdit::NoWrap);
  translationEdit_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // A few lines each, as the page was laid out; a scroll area would otherwise ask for
  // far more room than the other pages need.
  const int line = fontMetrics().lineSpacing();
  nameList_->setMaximumHeight(5 * line + 2 * nameList_->frameWidth());
  translationEdit_->setMaximumHeight(6 * line + 2 * translationEdit_->frameWidth());

  auto* nameLabel = new QLabel(QStringLiteral("Alias &name"), this);
  nameLabel->setBuddy(nameEdit_);
  auto* translationLabel = new QLabel(QStringLiteral("&Translation"), this);
  translationLabel->setBuddy(translationEdit_);
  auto* names = new QVBoxLayout;
  names->setSpacing(0);  // the field and its list read as one control
  names->addWidget(nameEdit_);
  names->addWidget(nameList_);
  auto* left = new QVBoxLayout;
  left->addWidget(nameLabel);
  left->addLayout(names);
  left->addWidget(translationLabel);
  left->addWidget(translationEdit_);
  left->addStretch(1);

  auto* scope = new QGroupBox(QStringLiteral("Scope"), this);
  auto* scopes = new QVBoxLayout(scope);
  const char* scopeTexts[] = {"&User", "&System "};
  for (int index = 0; index < 2; ++index) {
    auto* radio = new QRadioButton(QString::fromLatin1(scopeTexts[index]), scope);
    radio->setObjectName(QString::number(1014 + index));
    scopeGroup_->addButton(radio, index);
    scopes->addWidget(radio);
  }
  auto* right = new QVBoxLayout;
  right->addWidget(scope);
  right->addStretch(1);
  right->addWidget(addButton_);
  right->addWidget(changeButton_);
  right->addWidget(removeButton_);
  right->addStretch(1);

  auto* layout = new QHBoxLayout(this);
  layout->addLayout(left, 1);
  layout->addLayout(right);

  connect(nameEdit_, &QLineEdit::textEdited, this, [this] { OnNameEdited(); });
  connect(nameList_, &QListWidget::currentRowChanged, this, [this](int row) { OnNamePicked(row); });
  connect(translationEdit_, &QPlainTextEdit::textChanged, this, [this] { OnTranslationChanged(); });
  connect(scopeGroup_, &QButtonGroup::idClicked, this, [this](int) { OnScopeClicked(); });
  connect(addButton_, &QPushButton::clicked, this, [this] { OnStore(); });
  connect(changeButton_, &QPushButton::clicked, this, [this] { OnStore(); });
  connect(removeButton_, &QPushButton::clicked, this, [this] { OnRemove(); });
}

bool CAliasPage::DoDataExchange(bool save) {
  // The scope first: a scope click must see the new scope even when a text is unreadable.
  ExchangeRadio(save, scopeGroup_, &scopeIndex);
  if (!ExchangeText(save, nameEdit_, &aliasName)) return false;
  if (save) return ExchangeText(save, translationEdit_, &translation);
  ShowTranslation();
  return true;
}

void CAliasPage::ShowTranslation() {
  // Showing is not typing: the change handler would read half-shown controls.
  QSignalBlocker block(translationEdit_);
  ExchangeText(false, translationEdit_, &translation);
}

bool CAliasPage::TranslationModified() const { return translationEdit_->document()->isModified(); }

std::optional<uint32_t> CAliasPage::ScopeSelector() {
  if (scopeIndex == 0) return ALIAS_SCOPE_USER;
  if (scopeIndex == 1) return ALIAS_SCOPE_SYSTEM;
  app_.ReportErrorNoArg("Scope not set.", 0, 0);
  return std::nullopt;
}

std::string CAliasPage::NameAt(int row) const {
  return nameList_->item(row)->text().toLatin1().toStdString();  // made from Latin-1 bytes
}

int CAliasPage::FindName(const std::string& name) const {
  if (name.empty()) return -1;
  for (int row = 0; row < nameList_->count(); ++row) {
    if (strcasecmp(NameAt(row).c_str(), name.c_str()) == 0) return row;
  }
  return -1;
}

void CAliasPage::InsertName(const std::string& name) {
  int row = 0;
  while (row < nameList_->count() && strcasecmp(NameAt(row).c_str(), name.c_str()) <= 0) ++row;
  QSignalBlocker block(nameList_);
  nameList_->insertItem(row, fw::ToQt(name));
}

void CAliasPage::SetCurrentIndex(int index) {
  currentIndex = index;
  QSignalBlocker block(nameList_);  // showing the selection is not a pick
  nameList_->setCurrentRow(index);
  if (index < 0) nameList_->clearSelection();
}

void CAliasPage::FillList() {
  {
    QSignalBlocker block(nameList_);
    nameList_->clear();
  }
  std::optional<uint32_t> scope = ScopeSelector();
  if (!scope) return;
  char* names = nullptr;
  if (uint32_t status = ListAllAliases(&names, *scope)) {
    app_.ReportErrorNoArg("Can't get list of known aliases.", status, 0);
  }
  ForEachString(names, [this](const char* name) { InsertName(name); });
  FreeAliasBuff(names);
}

void CAliasPage::LoadTranslation() {
  translation.clear();
  if (aliasName.empty()) return;
  std::optional<uint32_t> scope = ScopeSelector();
  if (!scope) return;
  char* list = nullptr;
  if (GetAlias(aliasName.c_str(), &list, *scope) == 0) {
    ForEachString(list, [this](const char* address) {
      translation += address;
      translation += "\r\n";
    });
  }
  FreeAliasBuff(list);
}

bool CAliasPage::SyncSelection(bool force) {
  const int position = FindName(aliasName);
  if (position == currentIndex && !force) return false;
  SetCurrentIndex(position);
  if (position >= 0) {
    LoadTranslation();
    return true;
  }
  // What the user typed for a new name stays; a listed alias's translation goes.
  if (translation.empty() || TranslationModified()) return false;
  translation.clear();
  return true;
}

void CAliasPage::UpdateButtons() {
  if (currentIndex == -1) {
    addButton_->setEnabled(!aliasName.empty() && !translation.empty());
    changeButton_->setEnabled(false);
    removeButton_->setEnabled(false);
    return;
  }
  addButton_->setEnabled(false);
  removeButton_->setEnabled(!aliasName.empty());
  changeButton_->setEnabled(!aliasName.empty() && TranslationModified());
}

bool CAliasPage::StoreAlias() {
  if (aliasName.empty() || translation.empty()) return false;
  std::optional<uint32_t> scope = ScopeSelector();
  if (!scope) return false;
  char* list = nullptr;
  uint32_t status = PrepareAliasAddressList(translation.c_str(), &list);
  if (status != 0 || list == nullptr || list[0] == '\0') {
    // Blanks and commas only make an empty list, which the store would take as "delete".
    app_.ReportErrorNoArg("Can't parse the translation list.", status, 0);
    FreeAliasBuff(list);
    return false;
  }
  status = SetAlias(aliasName.c_str(), list, *scope);
  FreeAliasBuff(list);
  if (status != 0) {
    app_.ReportError("Update of alias name %s failed.", aliasName.c_str(), status, 0);
    return false;
  }
  if (FindName(aliasName) < 0) InsertName(aliasName);
  aliasName.clear();
  translation.clear();
  SetCurrentIndex(-1);
  return true;
}

bool CAliasPage::RemoveAlias() {
  if (aliasName.empty()) return false;
  std::optional<uint32_t> scope = ScopeSelector();
  if (!scope) return false;
  if (uint32_t status = SetAlias(aliasName.c_str(), nullptr, *scope)) {
    app_.ReportError("Alias name %s cannot be deleted.", aliasName.c_str(), status, 0);
    return false;
  }
  if (int row = FindName(aliasName); row >= 0) {
    QSignalBlocker block(nameList_);
    delete nameList_->takeItem(row);
  }
  aliasName.clear();
  translation.clear();
  SetCurrentIndex(-1);
  return true;
}

void CAliasPage::OnInitDialog() {
  CExchangePage::OnInitDialog();
  currentIndex = -1;
  FillList();
  UpdateButtons();
}

void CAliasPage::OnNameEdited() {
  if (!UpdateData(true)) return;
  if (SyncSelection(false)) ShowTranslation();
  UpdateButtons();
}

void CAliasPage::OnNamePicked(int row) {
  if (row < 0 || row >= nameList_->count()) return;
  aliasName = NameAt(row);
  if (SyncSelection(false)) UpdateData(false);
  UpdateButtons();
}

void CAliasPage::OnTranslationChanged() {
  if (!UpdateData(true)) return;
  UpdateButtons();
}

void CAliasPage::OnScopeClicked() {
  const int before = scopeIndex;
  if (!UpdateData(true)) {
    scopeIndex = before;  // the list still shows the old scope's names
    ExchangeRadio(false, scopeGroup_, &scopeIndex);
    return;
  }
  if (scopeIndex == before) return;
  FillList();
  SyncSelection(true);
  UpdateData(false);
  UpdateButtons();
}

void CAliasPage::OnStore() {
  if (!UpdateData(true) || !StoreAlias()) return;
  UpdateData(false);
  UpdateButtons();
}

void CAliasPage::OnRemove() {
  if (!UpdateData(true) || !RemoveAlias()) return;
  UpdateData(false);
  UpdateButtons();
}

bool CAliasPage::OnKillActive() {
  if (!UpdateData(true)) return false;
  if (aliasName.empty() || translation.empty() || (currentIndex != -1 && !TranslationModified())) {
    return true;
  }
  if (!StoreAlias()) return false;
  UpdateData(false);
  UpdateButtons();
  return true;
}

}  // namespace pelldesk
