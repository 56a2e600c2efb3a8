// Whole small files of the service control layer (pid files, unit files): written
// beside their place and renamed over it, so that a reader sees the old text or the
// new one, never part of one.
#pragma once

#include <cstdint>
#include <string>

namespace platform::service {

uint32_t ReplaceFile(const std::string& path, const std::string& text, unsigned mode);

}  // namespace platform::service
