// Memory blocks with a header that marks them live, so that a stray pointer given
// back is refused rather than handed to free().
#include "platform/memory.h"

#include <cstdlib>
#include <cstring>

#include "platform/errors.h"

namespace platform {
namespace {

constexpr uint64_t kLive = 0x4b4c42204c4c4550ULL;  // marks a live block
constexpr uint64_t kDead = ~kLive;

struct alignas(16) Header {
  uint64_t magic;
  uint64_t size;
};

Header* HeaderOf(const void* block) {
  return const_cast<Header*>(reinterpret_cast<const Header*>(block) - 1);
}

bool IsLive(const void* block) {
  return block != nullptr && HeaderOf(block)->magic == kLive;
}

}  // namespace

void* GlobalAlloc(uint32_t size, bool zero) noexcept {
  void* raw = zero ? std::calloc(1, sizeof(Header) + size) : std::malloc(sizeof(Header) + size);
  if (raw == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  auto* h = static_cast<Header*>(raw);
  h->magic = kLive;
  h->size = size;
  return h + 1;
}

void* GlobalReAlloc(void* block, uint32_t size) noexcept {
  if (!IsLive(block)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  void* raw = std::realloc(HeaderOf(block), sizeof(Header) + size);
  if (raw == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  auto* h = static_cast<Header*>(raw);
  h->size = size;
  return h + 1;
}

void* GlobalFree(void* block) noexcept {
  if (block == nullptr) return nullptr;
  if (!IsLive(block)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return block;
  }
  Header* h = HeaderOf(block);
  h->magic = kDead;
  std::free(h);
  return nullptr;
}

uint32_t GlobalSize(const void* block) noexcept {
  return IsLive(block) ? static_cast<uint32_t>(HeaderOf(block)->size) : 0;
}

}  // namespace platform
