// The events that end a setup dialog, as the toolkit leaves them in the symbol
// "DLGEVENT": BACK, CANCEL, CONTINUE or EXIT. The installer tells them apart by the sum
// of the codes of the first two characters (131, 132, 146, 157), as it always has.
#pragma once

#include <string>

namespace setup {

enum class DialogEvent { kBack, kCancel, kContinue, kExit, kUnknown };

DialogEvent ParseDialogEvent(const std::string& value);

// "BACK", "CANCEL", "CONTINUE", "EXIT"; "" for kUnknown.
const char* EventName(DialogEvent event);

}  // namespace setup
