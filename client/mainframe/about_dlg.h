// CAboutDlg: "About Pellam", with the program's name, its file version from the version
// resource (empty when the resource has none) and an OK button.
#pragma once

#include <QDialog>

class QLabel;

namespace pelldesk {

class CAboutDlg : public QDialog {
 public:
  explicit CAboutDlg(QWidget* parent);

  // The version field (control 1001).
  QLabel* versionField() const { return version_; }

 private:
  QLabel* version_;
};

}  // namespace pelldesk
