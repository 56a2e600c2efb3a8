// Folder lists on paper.
#include "folder/dir_printing.h"

#include <QFontDatabase>
#include <QPainter>
#include <QPrinter>

#include <algorithm>
#include <cmath>

#include "folder/dir_doc.h"
#include "folder/dir_painter.h"
#include "framework/text.h"

namespace pelldesk {

int RowsPerPage(int pageHeight, int rowHeight) {
  if (rowHeight <= 0) return 1;
  // Paper that holds fewer than five rows still gets one row a page: with none the
  // pages would never run out.
  return std::max(pageHeight / rowHeight - 4, 1);
}

int PageCount(int entries, int rowsPerPage) {
  if (rowsPerPage <= 0) return 0;
  return (entries + rowsPerPage - 1) / rowsPerPage;
}

std::string PageTitle(const std::string& docTitle, int page, int pages) {
  std::string title = "Listing of Pellam folder \"" + docTitle.substr(0, 64) + "\".";
  if (pages > 1) {
    title.pop_back();
    title += " - page " + std::to_string(page) + " of " + std::to_string(pages) + ".";
  }
  return title;
}

std::optional<QFont> PrinterFontFor(const QFont* displayFont, const QPaintDevice& screen, const QPaintDevice& printer) {
  if (displayFont == nullptr) return std::nullopt;
  const QFont system = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  if (displayFont->family().compare(system.family(), Qt::CaseInsensitive) == 0) return std::nullopt;
  QFont font = *displayFont;
  // A size in points is the same on paper; a size in pixels is the screen's and grows
  // with the printer's resolution.
  if (font.pixelSize() > 0 && screen.logicalDpiY() > 0) {
    const double scale = static_cast<double>(printer.logicalDpiY()) / screen.logicalDpiY();
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(font.pixelSize() * scale))));
  }
  return font;
}

ListingPrint::ListingPrint(const CDirDoc& doc, QPaintDevice& device, const std::optional<QFont>& printerFont)
    : doc_(doc), font_(printerFont ? QFont(*printerFont, &device) : QFont(QFont(), &device)) {
  rows_.reserve(static_cast<std::size_t>(doc.count()));
  for (int i = 0; i < doc.count(); ++i) rows_.push_back(RowTextsOf(doc.GetEntry(i)));
  const QFontMetrics metrics(font_, &device);
  layout_ = ComputeDirLayout(metrics, rows_, true, QSize());
  rowsPerPage_ = RowsPerPage(device.height(), layout_.rowHeight);
  FitToPage(metrics, device.width());
}

void ListingPrint::FitToPage(const QFontMetrics& metrics, int pageWidth) {
  pageWidth_ = pageWidth;
  // The subject runs on to the right on the screen; on paper it ends at the margin,
  // with an ellipsis where it was cut.
  if (layout_.subject.right() < pageWidth) return;
  layout_.subject.setRight(std::max(pageWidth - 1, layout_.subject.left()));
  layout_.row.setRight(pageWidth - 1);
  const int room = layout_.subject.width();
  for (RowTexts& row : rows_) {
    if (metrics.horizontalAdvance(row.subject) > room) row.subject = metrics.elidedText(row.subject, Qt::ElideRight, room);
  }
}

void ListingPrint::PrintPage(QPainter& painter, int page) const {
  const int h = layout_.rowHeight;
  const int pages = pageCount();
  painter.save();
  // Nothing reaches past the paper's printable width, whatever a column holds.
  painter.setClipRect(QRect(0, 0, pageWidth_, painter.device()->height()));
  painter.setFont(font_);
  painter.setPen(Qt::black);
  const QRect titleLine(0, 0, pageWidth_, h);
  const QString title = QFontMetrics(font_, painter.device()).elidedText(fw::ToQt(PageTitle(doc_.title(), page, pages)),
                                                                        Qt::ElideRight, pageWidth_);
  painter.drawText(titleLine, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, title);

  const RowColours ink{Qt::black, Qt::white};
  RowTexts heading;
  heading.number = QStringLiteral("Msg");
  heading.date = QStringLiteral("Received");
  heading.from = QStringLiteral("From");
  heading.subject = QStringLiteral("Subject");
  int top = h + h / 2;
  DrawDirRow(painter, layout_, top, heading, kEntryListed, ink, nullptr);

  top += h + h / 2;
  const int first = (page - 1) * rowsPerPage_;
  const int end = std::min(first + rowsPerPage_, static_cast<int>(rows_.size()));
  for (int i = first; i < end; ++i, top += h) {
    DrawDirRow(painter, layout_, top, rows_[static_cast<std::size_t>(i)], kEntryListed, ink, nullptr);
  }
  painter.restore();
}

bool PrintListing(QPrinter& printer, const CDirDoc& doc, const std::optional<QFont>& printerFont) {
  const ListingPrint job(doc, printer, printerFont);
  QPainter painter;
  if (!painter.begin(&printer)) return false;
  const int pages = job.pageCount();
  for (int page = 1; page <= pages; ++page) {
    if (page > 1 && !printer.newPage()) return false;
    job.PrintPage(painter, page);
  }
  return painter.end();
}

}  // namespace pelldesk
