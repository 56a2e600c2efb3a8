// The columns of a folder list, worked out from the widths of the texts in the font
// used: number, state picture (screen only), date, time, sender and subject, each at
// least as wide as a fixed share of "X" widths and as wide as its widest text.
#pragma once

#include <QFontMetrics>
#include <QRect>
#include <QSize>

#include <vector>

#include "folder/row_texts.h"

namespace pelldesk {

struct DirLayout {
  bool printing = false;
  int rowHeight = 0;
  int x = 0;  // the width of "X"
  // Horizontal extents; top 0, bottom rowHeight. The icon column is empty in print.
  QRect row, number, icon, date, time, from, subject;
};

struct DirScrollSizes {
  QSize total;
  QSize page;
  QSize line;
};

// Lays out `rows` for the font of `metrics`. On the screen a row is at least as high
// as the state pictures.
DirLayout ComputeDirLayout(const QFontMetrics& metrics, const std::vector<RowTexts>& rows, bool printing,
                           QSize imageSize);

// `layout` (made with the same font) with its columns widened for `rows` as well: the
// lines that arrived since, without measuring the others again.
DirLayout WidenDirLayout(const DirLayout& layout, const QFontMetrics& metrics, const std::vector<RowTexts>& rows,
                         QSize imageSize);

// The whole list (at least four rows high), a tenth of its width and ten rows per
// page, a tenth of its width and one row per line.
DirScrollSizes ComputeDirScrollSizes(const DirLayout& layout, int rowCount);

// The size of a frame of `frame` whose view (without scroll bars) is `view`, shrunk
// (never grown) to show a list of `total`. A side that still does not fit gets its
// scroll bar (`bars`: the vertical bar's width, the horizontal bar's height), which
// takes its room from the other side.
QSize FrameSizeToFit(QSize frame, QSize view, QSize total, QSize bars);

// The row under `y` (viewport coordinates) when scrolled down by `scrollY`; -1 before
// any layout.
int DirRowAt(int y, int scrollY, int rowHeight);

}  // namespace pelldesk
