// Printing the folder tree as it stands on the screen: the same lines at the size they
// have there, as many to a page as fit.
#pragma once

#include "tree/tree_painter.h"

class QPrinter;

namespace pelldesk {

// Whole lines of `lineHeight` on a page `pageHeight` high; at least one.
int TreeLinesPerPage(int pageHeight, int lineHeight);

// Prints every line of `drawing`'s document; `screenDpi` is the resolution its sizes
// were laid out for. False when the printer cannot be painted on.
bool PrintTree(QPrinter& printer, const TreeDrawing& drawing, int screenDpi);

}  // namespace pelldesk
