// No exception leaves the platform layer: Guarded runs a body that returns a status
// code and turns a failed allocation (or anything else thrown) into a code too.
#pragma once

#include <cstdint>
#include <new>

#include "platform/errors.h"

namespace platform {

template <typename Body>
uint32_t Guarded(Body body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return ERROR_NOT_ENOUGH_MEMORY;
  } catch (...) {
    return ERROR_GEN_FAILURE;
  }
}

}  // namespace platform
