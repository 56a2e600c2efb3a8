// CDirFrame, the child frame of a folder window: the folder list with the column-header
// bar above it ("Msg", "Received", "From", "Subject", moved to the columns' left edges
// by the view). Column Headings (32794) shows and hides the bar; a new window shows it
// as the ColumnHeaders setting said when the window was made.
#pragma once

#include <QWidget>

#include <array>
#include <vector>

#include "framework/child_frame.h"

class QLabel;

namespace pelldesk {

// Dialog bar 145: four labels at fixed places above the list, with a border below.
class HeaderBar : public QWidget {
 public:
  explicit HeaderBar(QWidget* parent);
  // Labels 1025 to 1028 in their order.
  QLabel* label(int index) const { return labels_[static_cast<std::size_t>(index)]; }
  static constexpr int kLabelCount = 4;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::array<QLabel*, kLabelCount> labels_{};
};

class CDirFrame : public fw::ChildFrame {
  Q_OBJECT

 public:
  // `showHeaders`: the bar starts shown.
  explicit CDirFrame(bool showHeaders);

  HeaderBar* headerBar() const { return headerBar_; }
  bool headersVisible() const;
  // Moves labels 1025, 1026, ... to the given x positions (at most four).
  void PlaceHeaders(const std::vector<int>& positions);

 protected:
  bool OnCreateClient(fw::View* view) override;

 private:
  bool showHeaders_;
  HeaderBar* headerBar_ = nullptr;
};

}  // namespace pelldesk
