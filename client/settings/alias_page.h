// CAliasPage, "Alias names": lists the aliases of the user's or the system's scope and
// adds, changes and removes them. Unlike the other pages it writes at once, whether or
// not the sheet is confirmed; leaving it with a new alias or a changed translation
// pending stores that first, and a failed store keeps the user on the page.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "settings/exchange_page.h"

class QButtonGroup;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace pelldesk {

class CMailApp;

class CAliasPage : public CExchangePage {
 public:
  explicit CAliasPage(CMailApp& app);

  void OnInitDialog() override;
  bool OnKillActive() override;
  // Nothing waits for OK: every change was written when the user made it.
  bool ApplyChanges() override { return false; }

  std::string aliasName;
  std::string translation;  // one address per line, each ended by CR LF
  int scopeIndex = 0;       // 0 the user's aliases, 1 the system's
  int currentIndex = -1;    // position of aliasName in the list; -1: not a listed alias

  // The page's operations.
  std::optional<uint32_t> ScopeSelector();
  void FillList();
  void LoadTranslation();
  bool SyncSelection(bool force);
  void UpdateButtons();
  bool StoreAlias();
  bool RemoveAlias();

  // The controls, for tests.
  QLineEdit* nameEdit() const { return nameEdit_; }
  QListWidget* nameList() const { return nameList_; }
  QPlainTextEdit* translationEdit() const { return translationEdit_; }
  QButtonGroup* scopeGroup() const { return scopeGroup_; }
  QPushButton* addButton() const { return addButton_; }
  QPushButton* changeButton() const { return changeButton_; }
  QPushButton* removeButton() const { return removeButton_; }

 protected:
  bool DoDataExchange(bool save) override;

 private:
  void OnNameEdited();
  void OnNamePicked(int row);
  void OnTranslationChanged();
  void OnScopeClicked();
  void OnStore();
  void OnRemove();

  // The list, kept in the order the store compares names (letter case ignored).
  int FindName(const std::string& name) const;
  void InsertName(const std::string& name);
  std::string NameAt(int row) const;
  void SetCurrentIndex(int index);
  void ShowTranslation();
  bool TranslationModified() const;

  CMailApp& app_;
  QLineEdit* nameEdit_;
  QListWidget* nameList_;
  QPlainTextEdit* translationEdit_;
  QButtonGroup* scopeGroup_;
  QPushButton* addButton_;
  QPushButton* changeButton_;
  QPushButton* removeButton_;
};

}  // namespace pelldesk
