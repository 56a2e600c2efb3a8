// The folder tree's line drawing.
#include "tree/tree_painter.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPalette>

#include <algorithm>

#include "framework/text.h"
#include "tree/tree_doc.h"

namespace pelldesk {
namespace {

constexpr int kDocumentedImageWidth = 16;
constexpr int kDocumentedImageHeight = 12;

}  // namespace

StatePictures LoadStatePictures() {
  StatePictures pictures;
  pictures.images = QPixmap(QStringLiteral(":/bitmaps/137.png"));
  if (pictures.images.isNull()) {
    pictures.imageWidth = kDocumentedImageWidth;
    pictures.imageHeight = kDocumentedImageHeight;
  } else {
    pictures.imageWidth = pictures.images.width() / pictures.imageCount;
    pictures.imageHeight = pictures.images.height();
  }
  return pictures;
}

TreeColours TreeColoursOf(const QPalette& palette) {
  return {palette.color(QPalette::Active, QPalette::Text), palette.color(QPalette::Active, QPalette::Base),
          palette.color(QPalette::Active, QPalette::HighlightedText),
          palette.color(QPalette::Active, QPalette::Highlight), palette.color(QPalette::Disabled, QPalette::Text)};
}

LineColours TreeLineColours(FolderState state, bool selected, const TreeColours& colours) {
  if (!IsSelectable(state)) {
    return selected ? LineColours{colours.window, colours.greyText} : LineColours{colours.greyText, colours.window};
  }
  if (selected) return {colours.highlightText, colours.highlight};
  return {colours.windowText, colours.window};
}

void DrawTreeLines(QPainter& painter, const TreeDrawing& drawing, LineRange lines) {
  painter.save();
  painter.setFont(drawing.font);
  const QFontMetrics metrics(drawing.font);  // logical units, also on a scaled printer
  const StatePictures& pictures = *drawing.pictures;
  for (int i = lines.first; i < lines.end; ++i) {
    const FolderEntry& entry = drawing.doc->GetFolderEntry(i);
    const LineColours colours = TreeLineColours(entry.state, i == drawing.selected, drawing.colours);
    const int top = i * drawing.lineHeight;
    if (!pictures.images.isNull()) {
      const int image = std::min(static_cast<int>(entry.state), pictures.imageCount - 1);
      painter.drawPixmap(TreePictureX(entry.depth, pictures.imageWidth), top, pictures.images,
                         image * pictures.imageWidth, 0, pictures.imageWidth, pictures.imageHeight);
    }
    // One line, as it stands (no mnemonic "&"), unclipped, on its background colour.
    const QString name = fw::ToQt(entry.name);
    const int left = TreeTextX(entry.depth, pictures.imageWidth);
    painter.fillRect(QRect(left, top, metrics.horizontalAdvance(name), metrics.height()), colours.background);
    painter.setPen(colours.text);
    painter.drawText(QPoint(left, top + metrics.ascent()), name);
  }
  painter.restore();
}

}  // namespace pelldesk
