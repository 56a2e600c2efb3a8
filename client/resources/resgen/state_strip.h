// What the folder list's and the tree's state pictures share: six 16 by 12 pictures
// side by side in one strip, each drawn clipped to its own cell, and the red question
// mark of the Unknown state.
#pragma once

#include <QImage>
#include <QPainter>

#include <functional>

namespace resgen {

inline constexpr int kStateWidth = 16;
inline constexpr int kStateHeight = 12;
inline constexpr int kStateCount = 6;

// The strip of the six states, `paint` drawing state n into a cell whose top left is
// its origin.
QImage DrawStateStrip(const std::function<void(QPainter&, int)>& paint);

// A question mark of 5 by 7 pixels with its top left at (x, y).
void QuestionMark(QPainter& p, int x, int y);

}  // namespace resgen
