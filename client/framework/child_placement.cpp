// The default place and size of a new child window.
#include "framework/child_placement.h"

#include <algorithm>

namespace fw {

QRect DefaultChildGeometry(QSize area, int open, int step) {
  const QSize size(std::max(area.width() * 3 / 4, 1), std::max(area.height() * 3 / 4, 1));
  step = std::max(step, 1);
  const int room = std::min(area.width() - size.width(), area.height() - size.height());
  const int places = std::max(room / step + 1, 1);
  const int offset = (std::max(open, 0) % places) * step;
  return QRect(QPoint(offset, offset), size);
}

}  // namespace fw
