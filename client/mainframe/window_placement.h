// The "Window" setting: the main window's normal rectangle (left, top, right, bottom,
// in screen coordinates) and its show command, as "%d,%d,%d,%d,%d".
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace pelldesk {

struct WindowPlacement {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  int32_t showCommand = 0;

  bool operator==(const WindowPlacement&) const = default;
  // A rectangle a window can take: positive and not absurdly large.
  bool HasUsableRect() const;
};

// Nullopt for an empty value; otherwise the numbers read, those missing left 0.
std::optional<WindowPlacement> ParsePlacement(const std::string& value);

std::string FormatPlacement(const WindowPlacement& placement);

}  // namespace pelldesk
