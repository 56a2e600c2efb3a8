// The client's pictures, drawn with QPainter: icons 128 to 133, the tool-bar strip
// (bitmap 128) and the splash picture (bitmap 135). Nothing is taken from elsewhere.
#pragma once

#include <QImage>

namespace resgen {

// Icon `id` (128 main window, 129 message, 130 folder, 131 folder tree, 132 outgoing
// message, 133 new mail), `size` pixels square.
QImage DrawIcon(int id, int size);

// The 13 tool-bar images side by side, 16 by 15 pixels each, in button order: New,
// Reply, Forward, Post, Cancel, Delete, Move, Close, Cut, Copy, Paste, Print, About.
QImage DrawToolBar();

// The splash picture shown for five seconds at start-up.
QImage DrawSplash();

}  // namespace resgen
