// The folder tree on paper. The painter is scaled from screen to printer resolution
// and the font is held in screen pixels, so text and pictures keep their proportions.
#include "tree/tree_printing.h"

#include <QFontInfo>
#include <QPainter>
#include <QPrinter>

#include <algorithm>

#include "tree/tree_doc.h"

namespace pelldesk {

int TreeLinesPerPage(int pageHeight, int lineHeight) {
  if (lineHeight <= 0) return 1;
  return std::max(pageHeight / lineHeight, 1);
}

bool PrintTree(QPrinter& printer, const TreeDrawing& drawing, int screenDpi) {
  QPainter painter;
  if (screenDpi <= 0 || drawing.lineHeight <= 0 || !painter.begin(&printer)) return false;
  const qreal scale = static_cast<qreal>(printer.resolution()) / screenDpi;
  painter.scale(scale, scale);

  TreeDrawing onPaper = drawing;
  onPaper.font.setPixelSize(std::max(QFontInfo(drawing.font).pixelSize(), 1));
  const int pageHeight = static_cast<int>(printer.pageRect(QPrinter::DevicePixel).height() / scale);
  const int perPage = TreeLinesPerPage(pageHeight, drawing.lineHeight);
  const int count = drawing.doc->count();
  for (int first = 0; first < count; first += perPage) {
    if (first > 0 && !printer.newPage()) return false;
    painter.save();
    painter.translate(0, -first * drawing.lineHeight);
    DrawTreeLines(painter, onPaper, {first, std::min(first + perPage, count)});
    painter.restore();
  }
  return painter.end();
}

}  // namespace pelldesk
