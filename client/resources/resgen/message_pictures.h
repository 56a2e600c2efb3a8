// The folder list's state pictures (bitmap 136): six 16 by 12 pictures side by side,
// in the order of the message states, drawn pixel by pixel from the 16 standard colours.
#pragma once

#include <QImage>

namespace resgen {

// Unknown (a red question mark), Listed (a closed envelope), Seen (an envelope with its
// flap open), Open (an open envelope with the letter out), Deleted (a closed envelope
// crossed out in red), Moved (a closed envelope with a red arrow).
QImage DrawMessageStates();

}  // namespace resgen
