// Reading lists of decimal numbers separated by commas, as the client's stored values
// ("Font", "Window") hold them. Bad text never fails hard: reading stops at the first
// field that does not convert, and the caller keeps its values for the rest.
#pragma once

#include <cstdint>

namespace pelldesk {

// Reads up to `count` numbers: each may be preceded by white space and a sign, and
// numbers are separated by exactly one comma. A number too large for 32 bits keeps its
// low 32 bits. Returns how many were read; `*end`, when given, points just after the
// last number read (at `text` when none was).
int ScanNumbers(const char* text, int32_t* values, int count, const char** end = nullptr);

}  // namespace pelldesk
