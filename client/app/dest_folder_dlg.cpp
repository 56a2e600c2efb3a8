// The "Destination folder" dialog, and the application's folder chooser that runs it.
#include "app/dest_folder_dlg.h"

#include <strings.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include "app/mail_app.h"
#include "app/mailbox_listeners.h"
#include "app/resource_ids.h"
#include "framework/doc_template.h"
#include "framework/document.h"
#include "framework/message_box.h"
#include "framework/text.h"
#include "platform/paths.h"

namespace pelldesk {

std::string NormaliseFolderName(const std::string& typed) {
  // Resolved below the root, a name cannot climb above it: the root stands for the
  // mail directory.
  std::string path = "/" + typed;
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  char full[platform::kMaxPath];
  const uint32_t length = platform::GetFullPathName(path.c_str(), sizeof full, full);
  if (length < 1 || length >= sizeof full) return typed;
  std::string name(full + 1, length - 1);
  if (!name.empty() && name.back() == '/') name.pop_back();
  return name;
}

CDestFolderDlg::CDestFolderDlg(CMailApp& app, QWidget* parent) : QDialog(parent), app_(app) {
  setWindowTitle("Destination folder");
  auto* label = new QLabel("&Name:", this);
  nameBox_ = new QComboBox(this);
  nameBox_->setEditable(true);
  nameBox_->setInsertPolicy(QComboBox::NoInsert);
  nameBox_->setMinimumWidth(nameBox_->fontMetrics().averageCharWidth() * 32);
  label->setBuddy(nameBox_);
  allowCreateBox_ = new QCheckBox("&Allow create", this);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Vertical, this);
  connect(buttons, &QDialogButtonBox::accepted, this, [this] { OnOK(); });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QGridLayout(this);
  layout->addWidget(label, 0, 0);
  layout->addWidget(nameBox_, 1, 0);
  layout->addWidget(allowCreateBox_, 2, 0);
  layout->addWidget(buttons, 0, 1, 3, 1, Qt::AlignTop);
  layout->setRowStretch(3, 1);

  allowCreate = app_.folderCreation();
  name = app_.lastDestination();
}

int CDestFolderDlg::DoModal() {
  OnInitDialog();
  return exec() == QDialog::Accepted ? fw::IDOK : fw::IDCANCEL;
}

void CDestFolderDlg::OnInitDialog() {
  const CMailApp& app = app_;
  allowCreateBox_->setChecked(allowCreate);
  nameBox_->clear();

  if (treeDoc == nullptr && app.treeTemplate() != nullptr) {
    std::string root = app.mailDirectory();
    if (!root.empty() && root.back() == '/') root.pop_back();
    for (fw::Document* doc : app.treeTemplate()->documents()) {
      if (strcasecmp(doc->pathName().c_str(), root.c_str()) == 0) {
        treeDoc = dynamic_cast<FolderTreeListener*>(doc);
        break;
      }
    }
  }
  if (treeDoc != nullptr) {
    const std::vector<std::string> paths = treeDoc->FolderPaths();
    if (!paths.empty()) {
      const std::size_t skip = paths.front().size() + 1;
      for (std::size_t i = 1; i < paths.size(); ++i) {
        if (paths[i].size() > skip) nameBox_->addItem(fw::ToQt(paths[i].substr(skip)));
      }
    }
  }
  const std::string& last = app_.lastDestination();
  if (!last.empty()) {
    bool listed = false;
    for (int i = 0; i < nameBox_->count() && !listed; ++i) {
      listed = nameBox_->itemText(i).compare(fw::ToQt(last), Qt::CaseInsensitive) == 0;
    }
    if (!listed) nameBox_->addItem(fw::ToQt(last));
  }
  nameBox_->model()->sort(0);
  nameBox_->setEditText(fw::ToQt(name));
  nameBox_->lineEdit()->selectAll();
  nameBox_->setFocus();
}

void CDestFolderDlg::OnOK() {
  std::string typed;
  if (!fw::FromQt(nameBox_->currentText(), &typed)) {
    fw::ShowMessageBox("The folder name holds a character that cannot be stored.", fw::MB_ICONEXCLAMATION);
    return;
  }
  allowCreate = allowCreateBox_->isChecked();
  name = NormaliseFolderName(typed);
  if (!name.empty()) app_.lastDestination() = name;
  accept();
}

bool CMailApp::ChooseDestination(FolderChoice* choice) {
  CDestFolderDlg dialog(*this);
  if (dialog.DoModal() != fw::IDOK || dialog.name.empty()) return false;
  choice->name = dialog.name;
  choice->allowCreate = dialog.allowCreate;
  return true;
}

}  // namespace pelldesk
