// Folder-list line drawing.
#include "folder/dir_painter.h"

#include <QPainter>
#include <QPalette>

#include <algorithm>

namespace pelldesk {
namespace {

constexpr int kSingleLine = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine;

void Text(QPainter& painter, const QRect& column, int top, const QString& text, bool clipped) {
  painter.drawText(column.translated(0, top), kSingleLine | (clipped ? 0 : Qt::TextDontClip), text);
}

}  // namespace

EntryPictures LoadEntryPictures() {
  EntryPictures pictures;
  QPixmap strip(QStringLiteral(":/bitmaps/136.png"));
  if (!strip.isNull() && strip.width() >= pictures.imageCount) {
    pictures.images = strip;
    pictures.imageWidth = strip.width() / pictures.imageCount;
    pictures.imageHeight = strip.height();
  }
  return pictures;
}

DirColours DirColoursOf(const QPalette& palette) {
  DirColours colours;
  colours.windowText = palette.color(QPalette::Active, QPalette::Text);
  colours.window = palette.color(QPalette::Active, QPalette::Base);
  colours.highlightText = palette.color(QPalette::Active, QPalette::HighlightedText);
  colours.highlight = palette.color(QPalette::Active, QPalette::Highlight);
  colours.greyText = palette.color(QPalette::Disabled, QPalette::Text);
  return colours;
}

RowColours RowColoursOf(int state, bool selected, const DirColours& colours) {
  if (!IsLiveEntry(state)) {
    return selected ? RowColours{colours.window, colours.greyText} : RowColours{colours.greyText, colours.window};
  }
  return selected ? RowColours{colours.highlightText, colours.highlight}
                  : RowColours{colours.windowText, colours.window};
}

void DrawDirRow(QPainter& painter, const DirLayout& layout, int top, const RowTexts& texts, int state,
                const RowColours& colours, const EntryPictures* pictures) {
  painter.fillRect(layout.row.translated(0, top), colours.background);
  painter.setPen(colours.text);
  Text(painter, layout.number, top, texts.number, true);
  if (pictures != nullptr && !pictures->images.isNull()) {
    const int index = std::clamp(state, 0, pictures->imageCount - 1);
    painter.drawPixmap(layout.icon.left(), top, pictures->images, index * pictures->imageWidth, 0,
                       pictures->imageWidth, pictures->imageHeight);
  }
  Text(painter, layout.date, top, texts.date, !(layout.printing && texts.time.isEmpty()));
  Text(painter, layout.time, top, texts.time, true);
  Text(painter, layout.from, top, texts.from, true);
  Text(painter, layout.subject, top, texts.subject, false);
}

}  // namespace pelldesk
