// The record behind a MailHandle and the helpers every composition call shares.
// A handle belongs to one caller at a time; nothing here locks. The record comes from
// the library's memory functions so that CloseMailMessage can give it back.
#pragma once

#include <cstdint>

#include "pellam.h"

// Defined at global scope: the public header names it as the handle's target.
struct MailMessage {
  uint32_t signature;      // kOpenSignature while open, its complement once closed
  uint32_t state;          // MSG_* plus MSG_BUSY while a call runs or after it failed
  uint32_t address_count;  // address records written so far
  char temp_name[PELLAM_MAX_PATH];   // the control file while built; "" once moved away
  char queue_name[PELLAM_MAX_PATH];  // its name in the queue directory
  int file;                          // the open temporary file, or kInvalidFile
  uint32_t item4_position;           // always 48
  uint32_t header_offset;
  uint32_t header_length;
  uint32_t text_offset;
  uint32_t text_length;
  char* to_text;  // the caller's To tokens joined by commas (library memory), or null
  char* cc_text;
  uint32_t to_length;
  uint32_t cc_length;
};

namespace pellam {

inline constexpr uint32_t kOpenSignature = 0x4D534731;  // "MSG1"

inline bool IsOpenHandle(const MailMessage* m) noexcept {
  return m != nullptr && m->signature == kOpenSignature;
}

}  // namespace pellam
