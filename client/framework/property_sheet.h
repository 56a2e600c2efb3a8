// Property sheets: a modal dialog of pages on tabs with OK and Cancel. A page is told
// when it is first shown (OnInitDialog), when it becomes active and when the user
// leaves it (OnKillActive, which may keep the user on the page); OK first asks the
// active page to let go, then gives every page that was shown its OnOK.
#pragma once

#include <QDialog>

#include <string>
#include <vector>

class QDialogButtonBox;
class QTabWidget;

namespace fw {

class PropertyPage : public QWidget {
 public:
  explicit PropertyPage(std::string caption);

  const std::string& caption() const { return caption_; }
  bool initialised() const { return initialised_; }

  virtual void OnInitDialog() {}
  virtual void OnSetActive() {}
  // False keeps the user on the page.
  virtual bool OnKillActive() { return true; }
  virtual void OnOK() {}
  virtual void OnCancel() {}

 private:
  friend class PropertySheet;
  std::string caption_;
  bool initialised_ = false;
};

class PropertySheet : public QDialog {
 public:
  PropertySheet(const std::string& caption, QWidget* parent);

  // The sheet takes the page (it becomes the sheet's child).
  void AddPage(PropertyPage* page);
  int pageCount() const { return static_cast<int>(pages_.size()); }
  PropertyPage* activePage() const;
  QDialogButtonBox* buttons() const { return buttons_; }

  // Shows the sheet modally: IDOK or IDCANCEL.
  int DoModal();

 private:
  void Activate(int index);
  void OnOkClicked();

  QTabWidget* tabs_;
  QDialogButtonBox* buttons_;
  std::vector<PropertyPage*> pages_;
  int active_ = -1;
};

}  // namespace fw
