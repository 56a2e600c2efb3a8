// The client's command table (menu texts and prompts), its accelerator table 128 and
// its menus 128 to 131 (and the internal menu 134), as data for the main frame.
#pragma once

#include "framework/ui_resources.h"

namespace pelldesk {

const fw::UiResources& ClientUiResources();

}  // namespace pelldesk
