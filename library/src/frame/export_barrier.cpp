// The exception-to-code mapping of the export barrier, out of line so that each
// export's catch block stays one call.
#include "frame/export_barrier.h"

#include <new>

#include "pellam.h"

namespace pellam {

uint32_t CodeOfCaughtException() noexcept {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return ERROR_NOT_ENOUGH_MEMORY;
  } catch (...) {
    return ERR_API_INTERNAL;
  }
}

}  // namespace pellam
