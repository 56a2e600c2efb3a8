// The program's version resource: named values looked up by their block path, as the
// original platform's version query does ("\StringFileInfo\040904b0\FileVersion").
#pragma once

namespace pelldesk {

// The value under `path`, or null when the resource holds none.
const char* QueryVersionValue(const char* path);

}  // namespace pelldesk
