// The About box.
#include "mainframe/about_dlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>

#include "app/resource_ids.h"
#include "framework/text.h"
#include "resources/version_resource.h"

namespace pelldesk {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent), version_(new QLabel(this)) {
  setWindowTitle(QStringLiteral("About Pellam"));
  auto* icon = new QLabel(this);
  icon->setPixmap(QIcon(QString(":/icons/%1.png").arg(kMainFrameId)).pixmap(32, 32));
  auto* name = new QLabel(QStringLiteral("Pellam User Interface"), this);
  auto* about = new QLabel(QStringLiteral("Personal mail for mail-11 networks"), this);
  version_->setObjectName(QStringLiteral("1001"));
  const char* file_version = QueryVersionValue("\\StringFileInfo\\040904b0\\FileVersion");
  version_->setText(fw::ToQt(file_version != nullptr ? file_version : ""));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* layout = new QGridLayout(this);
  layout->addWidget(icon, 0, 0, 3, 1, Qt::AlignTop);
  layout->addWidget(name, 0, 1);
  layout->addWidget(version_, 1, 1);
  layout->addWidget(about, 2, 1);
  layout->addWidget(buttons, 3, 0, 1, 2);
}

}  // namespace pelldesk
