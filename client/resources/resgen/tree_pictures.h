// The folder tree's state pictures (bitmap 137): six 16 by 12 pictures side by side,
// in the order of the folder states, drawn pixel by pixel from the 16 standard colours.
#pragma once

#include <QImage>

namespace resgen {

// Unknown (two red question marks), Listed and Seen (a closed folder), Open (an open
// folder), Deleted (a closed folder crossed out in red), Moved (a closed folder with
// a red arrow).
QImage DrawFolderStates();

}  // namespace resgen
