// The profile pages' directory question.
#include "settings/directory_question.h"

#include "framework/message_box.h"

namespace pelldesk {

bool ConfirmDirectoryChange(const char* question, bool* confirmed) {
  if (!*confirmed) {
    *confirmed = fw::ShowMessageBox(question, fw::MB_OKCANCEL | fw::MB_ICONQUESTION) == fw::IDOK;
  }
  return *confirmed;
}

}  // namespace pelldesk
