// Folder-list column layout.
#include "folder/dir_layout.h"

#include <algorithm>

namespace pelldesk {
namespace {

QRect Span(int left, int width, int height) { return QRect(left, 0, width, height); }

}  // namespace

DirLayout ComputeDirLayout(const QFontMetrics& metrics, const std::vector<RowTexts>& rows, bool printing,
                           QSize imageSize) {
  DirLayout layout;
  layout.printing = printing;
  int height = metrics.height() + std::max(metrics.leading(), 0);
  if (!printing) height = std::max(height, imageSize.height());
  layout.rowHeight = height;

  const int x = metrics.horizontalAdvance(QLatin1Char('X'));
  layout.x = x;
  int number = metrics.horizontalAdvance(QStringLiteral("Msg"));
  int date = 4 * x;
  int time = 4 * x;
  int from = 16 * x;
  int subject = 32 * x;
  for (const RowTexts& texts : rows) {
    number = std::max(number, metrics.horizontalAdvance(texts.number));
    date = std::max(date, metrics.horizontalAdvance(texts.date));
    time = std::max(time, metrics.horizontalAdvance(texts.time));
    from = std::max(from, metrics.horizontalAdvance(texts.from));
    subject = std::max(subject, metrics.horizontalAdvance(texts.subject));
  }

  int left = x / 2;
  layout.number = Span(left, number, height);
  left = layout.number.left() + number;
  if (printing) {
    layout.icon = Span(left, 0, height);
  } else {
    layout.icon = Span(left + x, imageSize.width(), height);
    left = layout.icon.left() + imageSize.width();
  }
  layout.date = Span(left + 2 * x, date, height);
  layout.time = Span(layout.date.left() + date + x, time, height);
  layout.from = Span(layout.time.left() + time + 2 * x, from, height);
  layout.subject = Span(layout.from.left() + from + 2 * x, subject, height);
  layout.row = Span(0, layout.subject.left() + subject + x / 2, height);
  return layout;
}

DirScrollSizes ComputeDirScrollSizes(const DirLayout& layout, int rowCount) {
  const int width = layout.row.width();
  DirScrollSizes sizes;
  sizes.total = QSize(width, layout.rowHeight * std::max(rowCount, 4));
  sizes.page = QSize(width / 10, layout.rowHeight * 10);
  sizes.line = QSize(width / 10, layout.rowHeight);
  return sizes;
}

QSize FrameSizeToFit(QSize frame, QSize view, QSize total, QSize bars) {
  const QSize wanted = total + (frame - view);
  QSize fit = wanted.boundedTo(frame);
  if (fit.width() < wanted.width()) fit.setHeight(std::min(fit.height() + bars.height(), frame.height()));
  if (fit.height() < wanted.height()) fit.setWidth(std::min(fit.width() + bars.width(), frame.width()));
  return fit;
}

int DirRowAt(int y, int scrollY, int rowHeight) {
  if (rowHeight <= 0) return -1;
  const int position = y + scrollY;
  return position < 0 ? -1 : position / rowHeight;
}

}  // namespace pelldesk
