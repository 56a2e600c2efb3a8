// Status codes inside the library: the facility test every caller shares, and a
// [[nodiscard]] wrapper for internal functions, so that a failure is dropped only
// by an act a reader can see. Header-only, constants and inline functions: the
// service may include it too. The C exports keep their plain uint32_t codes.
#pragma once

#include <cstdint>

#include "platform/errors.h"

namespace pellam {

inline constexpr uint32_t kLibraryFacility = 0x100;
inline constexpr uint32_t kServiceFacility = 0x101;

// The 12 facility bits of a status code.
constexpr uint32_t Facility(uint32_t code) noexcept { return (code >> 16) & 0xFFF; }

// True for the library's own codes (the catalogue's facility 0x100), as opposed to
// a platform code passed through or one of the service's events.
constexpr bool IsLibraryCode(uint32_t code) noexcept { return Facility(code) == kLibraryFacility; }

// A status code that must be looked at: 0 is success.
class [[nodiscard]] Status {
 public:
  constexpr Status() noexcept = default;
  constexpr explicit Status(uint32_t code) noexcept : code_(code) {}

  constexpr bool ok() const noexcept { return code_ == 0; }
  constexpr uint32_t code() const noexcept { return code_; }

 private:
  uint32_t code_ = 0;
};

// The failure a platform call has just left as the thread's last-error value.
inline Status LastError() noexcept { return Status(platform::GetLastError()); }

}  // namespace pellam
