// CDestFolderDlg, "Destination folder": asks for the folder of a move, offering the
// folders of the open tree window and the last folder confirmed this run. After OK the
// name is normalised so that it can never climb above the mail directory. It is the
// application's folder chooser (CMailApp::ChooseDestination); windows never make one.
#pragma once

#include <QDialog>

#include <string>

class QCheckBox;
class QComboBox;

namespace pelldesk {

class CMailApp;
class FolderTreeListener;

class CDestFolderDlg : public QDialog {
 public:
  // Starts from `app`'s FolderCreation setting and last destination, and keeps the
  // name confirmed as the last destination.
  explicit CDestFolderDlg(CMailApp& app, QWidget* parent = nullptr);

  // The dialog's values: initial before it runs, the user's after OK.
  bool allowCreate = false;
  std::string name;
  FolderTreeListener* treeDoc = nullptr;

  // Runs the dialog: fw::IDOK or fw::IDCANCEL.
  int DoModal();

  // The steps of the dialog, public so that tests can drive it without a modal loop.
  void OnInitDialog();
  void OnOK();

  QComboBox* nameBox() const { return nameBox_; }
  QCheckBox* allowCreateBox() const { return allowCreateBox_; }

 private:
  CMailApp& app_;
  QComboBox* nameBox_;
  QCheckBox* allowCreateBox_;
};

// The folder name the dialog keeps for `typed`: "." and ".." resolved without ever
// going above the mail directory, "\" taken as "/", no final "/". Empty stays empty.
std::string NormaliseFolderName(const std::string& typed);

}  // namespace pelldesk
