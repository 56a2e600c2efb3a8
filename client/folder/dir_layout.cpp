// Folder-list column layout.
#include "folder/dir_layout.h"

#include <algorithm>

namespace pelldesk {
namespace {

QRect Span(int left, int width, int height) { return QRect(left, 0, width, height); }

// Control characters may be drawn as boxes wider than any letter.
bool HasControls(const QString& text) {
  for (QChar c : text) {
    if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() < 0xA0)) return true;
  }
  return false;
}

// The width of the widest of the texts, at least `least`. Measuring text is the cost of
// a layout, so the longest texts are measured first, and a text that even made of the
// font's widest letter could not beat the widest so far is not measured at all (in a
// fixed-pitch font only the longest texts are).
int WidestText(const QFontMetrics& metrics, std::vector<const QString*> texts, int least) {
  std::sort(texts.begin(), texts.end(), [](const QString* a, const QString* b) {
    return a->size() != b->size() ? a->size() > b->size() : *a < *b;
  });
  const int widestLetter = std::max(metrics.maxWidth(), 1);
  int widest = least;
  const QString* last = nullptr;
  for (const QString* text : texts) {
    if (last != nullptr && *text == *last) continue;  // equal texts, as dates often are
    last = text;
    if (text->size() * static_cast<qsizetype>(widestLetter) <= widest && !HasControls(*text)) continue;
    widest = std::max(widest, metrics.horizontalAdvance(*text));
  }
  return widest;
}

template <typename Member>
int WidestOf(const QFontMetrics& metrics, const std::vector<RowTexts>& rows, Member member, int least) {
  std::vector<const QString*> texts;
  texts.reserve(rows.size());
  for (const RowTexts& row : rows) texts.push_back(&(row.*member));
  return WidestText(metrics, std::move(texts), least);
}

}  // namespace

namespace {

struct ColumnWidths {
  int number, date, time, from, subject;
};

ColumnWidths WidestTexts(const QFontMetrics& metrics, const std::vector<RowTexts>& rows, const ColumnWidths& least) {
  return ColumnWidths{WidestOf(metrics, rows, &RowTexts::number, least.number),
                      WidestOf(metrics, rows, &RowTexts::date, least.date),
                      WidestOf(metrics, rows, &RowTexts::time, least.time),
                      WidestOf(metrics, rows, &RowTexts::from, least.from),
                      WidestOf(metrics, rows, &RowTexts::subject, least.subject)};
}

DirLayout PlaceColumns(const QFontMetrics& metrics, const ColumnWidths& widths, bool printing, QSize imageSize) {
  DirLayout layout;
  layout.printing = printing;
  int height = metrics.height() + std::max(metrics.leading(), 0);
  if (!printing) height = std::max(height, imageSize.height());
  layout.rowHeight = height;
  const int x = metrics.horizontalAdvance(QLatin1Char('X'));
  layout.x = x;

  int left = x / 2;
  layout.number = Span(left, widths.number, height);
  left = layout.number.left() + widths.number;
  if (printing) {
    layout.icon = Span(left, 0, height);
  } else {
    layout.icon = Span(left + x, imageSize.width(), height);
    left = layout.icon.left() + imageSize.width();
  }
  layout.date = Span(left + 2 * x, widths.date, height);
  layout.time = Span(layout.date.left() + widths.date + x, widths.time, height);
  layout.from = Span(layout.time.left() + widths.time + 2 * x, widths.from, height);
  layout.subject = Span(layout.from.left() + widths.from + 2 * x, widths.subject, height);
  layout.row = Span(0, layout.subject.left() + widths.subject + x / 2, height);
  return layout;
}

}  // namespace

DirLayout ComputeDirLayout(const QFontMetrics& metrics, const std::vector<RowTexts>& rows, bool printing,
                           QSize imageSize) {
  const int x = metrics.horizontalAdvance(QLatin1Char('X'));
  const ColumnWidths least{metrics.horizontalAdvance(QStringLiteral("Msg")), 4 * x, 4 * x, 16 * x, 32 * x};
  return PlaceColumns(metrics, WidestTexts(metrics, rows, least), printing, imageSize);
}

DirLayout WidenDirLayout(const DirLayout& layout, const QFontMetrics& metrics, const std::vector<RowTexts>& rows,
                         QSize imageSize) {
  const ColumnWidths now{layout.number.width(), layout.date.width(), layout.time.width(), layout.from.width(),
                         layout.subject.width()};
  return PlaceColumns(metrics, WidestTexts(metrics, rows, now), layout.printing, imageSize);
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
