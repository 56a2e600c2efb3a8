// The folder window's frame and its column-header bar.
#include "folder/dir_frame.h"

#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>

#include "app/resource_ids.h"
#include "framework/view.h"

namespace pelldesk {

HeaderBar::HeaderBar(QWidget* parent) : QWidget(parent) {
  static const char* const kTexts[kLabelCount] = {"Msg", "Received", "From", "Subject"};
  int height = 0;
  for (int i = 0; i < kLabelCount; ++i) {
    auto* label = new QLabel(kTexts[i], this);
    label->adjustSize();
    height = std::max(height, label->height());
    labels_[static_cast<std::size_t>(i)] = label;
  }
  setFixedHeight(height + 1);  // and the border at the bottom
}

void HeaderBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(palette().color(QPalette::Mid));
  painter.drawLine(0, height() - 1, width(), height() - 1);
}

CDirFrame::CDirFrame(bool showHeaders) : showHeaders_(showHeaders) {
  OnCommand(
      kCmdColumnHeadings,
      [this] {
        if (headerBar_ != nullptr) headerBar_->setVisible(!headerBar_->isVisibleTo(this));
      },
      [this](fw::CommandState& state) { state.checked = headersVisible(); });
}

bool CDirFrame::headersVisible() const { return headerBar_ != nullptr && headerBar_->isVisibleTo(this); }

bool CDirFrame::OnCreateClient(fw::View* view) {
  auto* client = new QWidget;
  headerBar_ = new HeaderBar(client);
  auto* layout = new QVBoxLayout(client);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(headerBar_);
  layout->addWidget(view->widget(), 1);
  if (!showHeaders_) headerBar_->hide();
  setWidget(client);
  return true;
}

void CDirFrame::PlaceHeaders(const std::vector<int>& positions) {
  if (headerBar_ == nullptr) return;
  const int count = std::min(static_cast<int>(positions.size()), HeaderBar::kLabelCount);
  for (int i = 0; i < count; ++i) headerBar_->label(i)->move(positions[static_cast<std::size_t>(i)], 0);
}

}  // namespace pelldesk
