// The memory functions through which every block crossing the boundary passes.
#include "pellam.h"
#include "platform/memory.h"

extern "C" {

PELLAM_API void* AllocMem(uint32_t size) { return platform::GlobalAlloc(size, false); }

PELLAM_API void* AllocZeroMem(uint32_t size) { return platform::GlobalAlloc(size, true); }

PELLAM_API void* ReallocMem(void* block, uint32_t size) {
  if (block == nullptr) return AllocMem(size);
  return platform::GlobalReAlloc(block, size);
}

PELLAM_API void* FreeMem(void* block) { return platform::GlobalFree(block); }

PELLAM_API uint32_t CheckMem(void) { return 0xFFFFFFFFU; }

}  // extern "C"
