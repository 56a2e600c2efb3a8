// Status reporting shared by the composition exports.
#include "compose/message_handle.h"

#include <new>

#include "platform/errors.h"

namespace pellam {

uint32_t Report(uint32_t code) noexcept {
  if (code != 0) platform::SetLastError(code);
  return code;
}

uint32_t CaughtException() noexcept {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return ERROR_NOT_ENOUGH_MEMORY;
  } catch (...) {
    return ERR_API_INTERNAL;
  }
}

}  // namespace pellam
