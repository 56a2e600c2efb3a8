// Printing a folder list: a title on each page ("Listing of Pellam folder ..." with
// the page number when there is more than one page), a heading row and the lines in
// the columns of a layout made for the printer, without state pictures. A page always
// holds at least one line, however small the paper, so printing always ends, and
// nothing is drawn past the paper's right edge.
#pragma once

#include <QFont>

#include <optional>
#include <string>
#include <vector>

#include "folder/dir_layout.h"
#include "folder/row_texts.h"

class QPainter;
class QPaintDevice;
class QPrinter;

namespace pelldesk {

class CDirDoc;

// The page height in rows, less the four the title and heading take; at least 1.
int RowsPerPage(int pageHeight, int rowHeight);
int PageCount(int entries, int rowsPerPage);
// "Listing of Pellam folder "<title>"." (the title cut to 64 characters); with more
// than one page " - page N of M." takes the place of the final full stop.
std::string PageTitle(const std::string& docTitle, int page, int pages);

// The printer font: the display font scaled from the screen's resolution to the
// printer's, unless there is none or it is the system's own font (the printer's
// default font is then used, nullopt).
std::optional<QFont> PrinterFontFor(const QFont* displayFont, const QPaintDevice& screen, const QPaintDevice& printer);

// One print job of a folder list on a device of the printer's kind.
class ListingPrint {
 public:
  ListingPrint(const CDirDoc& doc, QPaintDevice& device, const std::optional<QFont>& printerFont);

  const DirLayout& layout() const { return layout_; }
  int rowsPerPage() const { return rowsPerPage_; }
  int pageCount() const { return PageCount(static_cast<int>(rows_.size()), rowsPerPage_); }
  QFont font() const { return font_; }
  // The lines as printed: subjects too long for the paper end in an ellipsis.
  const std::vector<RowTexts>& rows() const { return rows_; }
  int pageWidth() const { return pageWidth_; }

  // Page `page` (1 for the first) on a painter that paints on the device.
  void PrintPage(QPainter& painter, int page) const;

 private:
  // Ends the subject column, and cuts the subjects, at the page's right edge.
  void FitToPage(const QFontMetrics& metrics, int pageWidth);

  const CDirDoc& doc_;
  QFont font_;
  std::vector<RowTexts> rows_;
  DirLayout layout_;
  int rowsPerPage_ = 1;
  int pageWidth_ = 0;
};

// Prints every page of the list; false when the printer cannot be painted on.
bool PrintListing(QPrinter& printer, const CDirDoc& doc, const std::optional<QFont>& printerFont);

}  // namespace pelldesk
