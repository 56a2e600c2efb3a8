// The folder tree's geometry.
#include "tree/tree_layout.h"

#include <algorithm>

namespace pelldesk {

int TreeLineHeight(int fontHeight, int externalLeading, int imageHeight) {
  return std::max(fontHeight + externalLeading, imageHeight);
}

TreeScrollSizes ComputeTreeScrollSizes(int textWidth, int imageWidth, int maxDepth, int count, int lineHeight) {
  TreeScrollSizes sizes;
  sizes.total.width = textWidth + imageWidth * std::max(maxDepth + 2, 3);
  sizes.total.height = std::max(lineHeight * (count + 1), lineHeight * 5);
  sizes.page = {textWidth, 10 * lineHeight};
  sizes.line = {textWidth, lineHeight};
  return sizes;
}

LineRange VisibleTreeLines(int clipTop, int clipBottom, int lineHeight, int count) {
  if (lineHeight <= 0) return {};
  LineRange range;
  range.first = std::clamp(clipTop / lineHeight, 0, std::max(count, 0));
  range.end = std::clamp((clipBottom + lineHeight - 1) / lineHeight, range.first, std::max(count, 0));
  return range;
}

}  // namespace pelldesk
