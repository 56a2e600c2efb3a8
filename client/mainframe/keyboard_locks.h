// The state of the keyboard's lock keys for the CAP, NUM and SCRL panes, read from the
// X server's indicators. Where the display has none to offer (off-screen, Wayland, no X
// support built in) every lock reads as off.
#pragma once

namespace pelldesk {

enum class KeyboardLock { Caps, Num, Scroll };

bool IsKeyboardLockOn(KeyboardLock lock);

}  // namespace pelldesk
