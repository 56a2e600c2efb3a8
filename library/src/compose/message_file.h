// Writing into the control file of a message under composition. Offsets in the file
// are 32-bit, so no write may carry the file past 4 GiB - 1: such a write is refused
// with the caller's "too large" code instead of producing offsets that wrap.
#pragma once

#include <cstddef>
#include <cstdint>

#include "compose/message_handle.h"
#include "frame/status.h"

namespace pellam {

// The current position in the control file: 0 or the platform's code.
Status MessagePosition(const MailMessage* message, uint32_t* offset);

// Writes `size` bytes at the current position: 0, `too_large`, or the platform's code.
Status WriteToMessage(MailMessage* message, const void* data, size_t size, uint32_t too_large);

// Copies from `source`'s position in chunks of at most 1024 bytes until `count` bytes
// are copied or a read returns nothing (0xFFFFFFFF: to the end). `*copied` receives
// the bytes written, also on failure. 0, `too_large`, or the platform's code.
Status CopyIntoMessage(MailMessage* message, int source, uint32_t count, uint32_t too_large,
                         uint32_t* copied);

// Adds `amount` to a 32-bit length; false when the sum would not fit.
inline bool AddLength(uint32_t* length, uint64_t amount) noexcept {
  if (*length + amount > UINT32_MAX) return false;
  *length = static_cast<uint32_t>(*length + amount);
  return true;
}

}  // namespace pellam
