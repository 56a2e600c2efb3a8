// Memory blocks handed across the mail library's boundary. Fixed blocks that are
// used through ordinary pointers; each carries a small header so that freeing
// something that is not a live block is refused instead of corrupting the heap.
#pragma once

#include <cstdint>

#include "platform/export.h"

namespace platform {

// A new block of `size` bytes (zero-filled when `zero`), or null with
// ERROR_NOT_ENOUGH_MEMORY as the last-error value.
PLATFORM_API void* GlobalAlloc(uint32_t size, bool zero) noexcept;

// Resizes a live block; the contents are kept up to the smaller size and the block may
// move. Null on failure, the old block still valid (ERROR_NOT_ENOUGH_MEMORY, or
// ERROR_INVALID_HANDLE for a pointer that is not a live block).
PLATFORM_API void* GlobalReAlloc(void* block, uint32_t size) noexcept;

// Releases a live block: null on success; the block itself on failure
// (ERROR_INVALID_HANDLE for a pointer that is not a live block). Null is accepted.
PLATFORM_API void* GlobalFree(void* block) noexcept;

// The size of a live block, 0 for anything else.
PLATFORM_API uint32_t GlobalSize(const void* block) noexcept;

}  // namespace platform
