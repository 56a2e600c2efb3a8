// Property sheets over a tab widget.
#include "framework/property_sheet.h"

#include <QDialogButtonBox>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

#include "framework/message_box.h"
#include "framework/text.h"

namespace fw {

PropertyPage::PropertyPage(std::string caption) : caption_(std::move(caption)) {}

PropertySheet::PropertySheet(const std::string& caption, QWidget* parent)
    : QDialog(parent), tabs_(new QTabWidget(this)),
      buttons_(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this)) {
  setWindowTitle(ToQt(caption));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_);
  layout->addWidget(buttons_);
  connect(buttons_, &QDialogButtonBox::accepted, this, &PropertySheet::OnOkClicked);
  connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(tabs_, &QTabWidget::currentChanged, this, &PropertySheet::Activate);
}

void PropertySheet::AddPage(PropertyPage* page) {
  pages_.push_back(page);
  QSignalBlocker block(tabs_);  // pages become active when the sheet is shown
  tabs_->addTab(page, ToQt(page->caption()));
}

PropertyPage* PropertySheet::activePage() const {
  return active_ >= 0 ? pages_[static_cast<std::size_t>(active_)] : nullptr;
}

void PropertySheet::Activate(int index) {
  if (index == active_ || index < 0 || index >= pageCount()) return;
  // The tab widget has switched already. The page being left stays in view while it
  // decides (it may ask a question), and the next one shows only once it is built.
  QSignalBlocker block(tabs_);
  if (PropertyPage* leaving = activePage()) {
    tabs_->setCurrentIndex(active_);
    if (!leaving->OnKillActive()) return;
  }
  active_ = index;
  PropertyPage* page = pages_[static_cast<std::size_t>(index)];
  if (!page->initialised_) {
    page->initialised_ = true;
    page->OnInitDialog();
  }
  page->OnSetActive();
  tabs_->setCurrentIndex(index);
}

void PropertySheet::OnOkClicked() {
  if (PropertyPage* page = activePage(); page != nullptr && !page->OnKillActive()) return;
  for (PropertyPage* page : pages_) {
    if (page->initialised_) page->OnOK();
  }
  accept();
}

int PropertySheet::DoModal() {
  if (!pages_.empty()) Activate(tabs_->currentIndex() < 0 ? 0 : tabs_->currentIndex());
  if (exec() == QDialog::Accepted) return IDOK;
  for (PropertyPage* page : pages_) {
    if (page->initialised_) page->OnCancel();
  }
  return IDCANCEL;
}

}  // namespace fw
