// A control file of the queue shown as an administrator reads it: when it was made,
// whom it goes to (each address with the parts the service will use), its header
// section and its text.
#pragma once

#include <cstdint>
#include <ostream>

namespace pellqueue {

// Writes the decoded file to `out`: 0, or the status code of the read or decode
// (the file is then not shown).
uint32_t ShowQueueFile(const char* path, std::ostream& out);

}  // namespace pellqueue
