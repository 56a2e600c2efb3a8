// The client's compiled resources (pictures and sounds) live in the static core
// library; calling this registers them, and keeps the linker from dropping them.
#pragma once

namespace pelldesk {

void InitClientResources();

}  // namespace pelldesk
