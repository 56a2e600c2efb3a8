// Where a new child window opens inside the MDI area: most of the area (three quarters
// each way), stepped down and right by one caption per window already open, so that a
// new window is large enough to use and its neighbours' captions stay in view. Windows
// with rules of their own (the folder list, the tree) shrink from there.
#pragma once

#include <QRect>
#include <QSize>

namespace fw {

// The geometry of the child that opens when `open` children are there already; `step`
// is the height of a caption. The steps start again from the corner before a window
// would reach past the area.
QRect DefaultChildGeometry(QSize area, int open, int step);

}  // namespace fw
