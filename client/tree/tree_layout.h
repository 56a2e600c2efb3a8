// The folder tree's geometry in logical units (pixels of the view): the line height,
// the scroll sizes, which lines a clip box touches, the line under a point and where
// a line's picture and text stand. Pure arithmetic, so it is tested without a window.
#pragma once

namespace pelldesk {

struct Extent {
  int width = 0;
  int height = 0;
  bool operator==(const Extent&) const = default;
};

struct TreeScrollSizes {
  Extent total;
  Extent page;
  Extent line;
  bool operator==(const TreeScrollSizes&) const = default;
};

// A line holds the font's characters with their external leading, and a picture.
int TreeLineHeight(int fontHeight, int externalLeading, int imageHeight);

// `textWidth` is the widest name plus two widths of "M". Room for the pictures of the
// deepest line and one more (at least three), and for at least five lines.
TreeScrollSizes ComputeTreeScrollSizes(int textWidth, int imageWidth, int maxDepth, int count, int lineHeight);

// The lines [first, end) that the clip box from `clipTop` to `clipBottom` (exclusive)
// touches, below `count`; empty when lineHeight is not positive.
struct LineRange {
  int first = 0;
  int end = 0;
};
LineRange VisibleTreeLines(int clipTop, int clipBottom, int lineHeight, int count);

// The line under a point `y` of the window scrolled down by `scrollY`.
inline int TreeRowAt(int y, int scrollY, int lineHeight) { return (y + scrollY) / lineHeight; }

inline int TreePictureX(int depth, int imageWidth) { return imageWidth * depth; }
inline int TreeTextX(int depth, int imageWidth) { return imageWidth * depth + imageWidth + imageWidth / 2; }

}  // namespace pelldesk
