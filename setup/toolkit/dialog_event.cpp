// The dialog events by the sum of their first two characters, and their names.
#include "dialog_event.h"

namespace setup {

DialogEvent ParseDialogEvent(const std::string& value) {
  if (value.size() < 2) return DialogEvent::kUnknown;
  switch (static_cast<unsigned char>(value[0]) + static_cast<unsigned char>(value[1])) {
    case 'B' + 'A':
      return DialogEvent::kBack;
    case 'C' + 'A':
      return DialogEvent::kCancel;
    case 'C' + 'O':
      return DialogEvent::kContinue;
    case 'E' + 'X':
      return DialogEvent::kExit;
    default:
      return DialogEvent::kUnknown;
  }
}

const char* EventName(DialogEvent event) {
  switch (event) {
    case DialogEvent::kBack:
      return "BACK";
    case DialogEvent::kCancel:
      return "CANCEL";
    case DialogEvent::kContinue:
      return "CONTINUE";
    case DialogEvent::kExit:
      return "EXIT";
    case DialogEvent::kUnknown:
      break;
  }
  return "";
}

}  // namespace setup
