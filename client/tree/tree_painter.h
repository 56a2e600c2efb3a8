// Drawing the folder tree's lines: each line's state picture (bitmap 137) indented by
// its depth, then its name on the colours its state and the selection call for. The
// screen and the printer draw through the same function.
#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>

#include "tree/folder_entry.h"
#include "tree/tree_layout.h"

class QPainter;
class QPalette;

namespace pelldesk {

class CTreeDoc;

// Bitmap 137: six pictures side by side in the order of the states.
struct StatePictures {
  QPixmap images;       // null when the bitmap could not be loaded: lines show no picture
  int imageWidth = 0;   // the bitmap's width / imageCount
  int imageHeight = 0;  // the bitmap's height
  int imageCount = 6;
};
// Loads bitmap 137. Without it the pictures' documented size (16 by 12) keeps the
// indentation, and lines are drawn without pictures.
StatePictures LoadStatePictures();

// The system's colours the tree uses.
struct TreeColours {
  QColor windowText;
  QColor window;
  QColor highlightText;
  QColor highlight;
  QColor greyText;
};
TreeColours TreeColoursOf(const QPalette& palette);

struct LineColours {
  QColor text;
  QColor background;
  bool operator==(const LineColours&) const = default;
};
// Gone folders are grey (inverted when selected); a selected line is highlighted.
LineColours TreeLineColours(FolderState state, bool selected, const TreeColours& colours);

struct TreeDrawing {
  const CTreeDoc* doc = nullptr;
  const StatePictures* pictures = nullptr;
  QFont font;
  int lineHeight = 0;
  int selected = -1;
  TreeColours colours;
};
// Draws `lines` at logical coordinates (line i at y = i * lineHeight).
void DrawTreeLines(QPainter& painter, const TreeDrawing& drawing, LineRange lines);

}  // namespace pelldesk
