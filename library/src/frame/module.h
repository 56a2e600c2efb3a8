// The library's only global state: an address inside the loaded module, recorded when
// the library is loaded, from which its file name is found.
#pragma once

#include <cstdint>
#include <string>

namespace pellam {

// The file name of the loaded library (or of the program it is linked into); "" and
// the platform's code in `*code` when it cannot be found.
std::string ModuleFileName(uint32_t* code);

}  // namespace pellam
