// Reading control files back, for the Pellam service and for tests. Every item is
// checked against the layout the library writes; anything else (a bad length, a
// record past the end, a non-zero reserved byte, a missing end mark, sections that
// do not lie exactly after the items) is ERR_CONTROL_FILE. Nothing outside the given
// bytes is ever read. A file accepted here re-encodes (EncodeControlFile) to itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "compose/control_file_format.h"
#include "frame/private_api.h"

namespace pellam::control {

// The service and pellqueue read control files through libpellam.so with these
// (PELLAM_PRIVATE_1), so that a fix to the reader reaches them with the library.

// Decodes `size` bytes at `data` into `*file`: 0, ERR_CONTROL_FILE, or
// ERROR_NOT_ENOUGH_MEMORY. `*file` is filled only on success.
PELLAM_PRIVATE uint32_t DecodeControlFile(const uint8_t* data, size_t size, ControlFile* file) noexcept;

// As above; on ERR_CONTROL_FILE `*error_at` receives the offset at which reading
// stopped: the item or non-zero reserved byte that does not fit the layout, or the
// end of the bytes, so that a log can say where a file went wrong.
PELLAM_PRIVATE uint32_t DecodeControlFile(const uint8_t* data, size_t size, ControlFile* file, size_t* error_at) noexcept;

// A control file read whole: its items, and its two sections as views into `bytes`.
struct ControlFileContents {
  ControlFile items;
  std::string bytes;
  std::string_view header() const {
    return std::string_view(bytes).substr(items.sections.header_offset, items.sections.header_length);
  }
  std::string_view text() const {
    return std::string_view(bytes).substr(items.sections.text_offset, items.sections.text_length);
  }
};

// Reads and decodes the file at `path` (opened shared for reading): 0, the
// platform's code of a failed open or read, ERR_CONTROL_FILE (also for a file of
// 4 GiB or more, which 32-bit offsets cannot describe), or ERROR_NOT_ENOUGH_MEMORY.
PELLAM_PRIVATE uint32_t ReadControlFile(const char* path, ControlFileContents* contents) noexcept;

}  // namespace pellam::control
