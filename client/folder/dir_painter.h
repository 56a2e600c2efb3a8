// Drawing folder-list lines: the colours a line's state and the selection call for,
// the state pictures (bitmap 136), and one line's texts in their columns, each clipped
// to its column but the subject, which runs on to the right. The screen and the
// printer draw lines through the same function.
#pragma once

#include <QColor>
#include <QPixmap>

#include "folder/dir_layout.h"
#include "folder/row_texts.h"

class QPainter;
class QPalette;

namespace pelldesk {

// Bitmap 136: six pictures side by side, indexed by entry state.
struct EntryPictures {
  QPixmap images;       // null when the bitmap could not be loaded: no pictures drawn
  int imageWidth = 16;  // the bitmap's width / imageCount
  int imageHeight = 12;
  int imageCount = 6;
  QSize size() const { return QSize(imageWidth, imageHeight); }
};
EntryPictures LoadEntryPictures();

struct DirColours {
  QColor windowText;
  QColor window;
  QColor highlightText;
  QColor highlight;
  QColor greyText;
};
DirColours DirColoursOf(const QPalette& palette);

struct RowColours {
  QColor text;
  QColor background;
  bool operator==(const RowColours&) const = default;
};
// Live lines: window text on window, highlighted when selected; moved and deleted
// lines: grey on window, window on grey when selected.
RowColours RowColoursOf(int state, bool selected, const DirColours& colours);

// Draws one line with its top at `top`. `pictures` null (printing) draws no picture.
// In print the date runs unclipped when the time text is empty.
void DrawDirRow(QPainter& painter, const DirLayout& layout, int top, const RowTexts& texts, int state,
                const RowColours& colours, const EntryPictures* pictures);

}  // namespace pelldesk
