// The question the profile pages ask before a changed directory is kept: such a change
// takes effect only after a restart and moves no mail. Once answered OK it is not asked
// again while the sheet is open.
#pragma once

namespace pelldesk {

// True when the user may leave the page: `*confirmed` already set, or `question`
// answered OK (which sets it). Cancel: false; the caller restores the directories.
bool ConfirmDirectoryChange(const char* question, bool* confirmed);

}  // namespace pelldesk
