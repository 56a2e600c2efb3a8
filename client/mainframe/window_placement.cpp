// Reading and writing the "Window" setting.
#include "mainframe/window_placement.h"

#include <cstdio>

#include "app/number_list.h"

namespace pelldesk {

bool WindowPlacement::HasUsableRect() const {
  const int64_t width = static_cast<int64_t>(right) - left;
  const int64_t height = static_cast<int64_t>(bottom) - top;
  return width > 0 && height > 0 && width <= 32767 && height <= 32767 && left > -32768 &&
         top > -32768 && left < 32768 && top < 32768;
}

std::optional<WindowPlacement> ParsePlacement(const std::string& value) {
  if (value.empty()) return std::nullopt;
  int32_t numbers[5] = {0, 0, 0, 0, 0};
  ScanNumbers(value.c_str(), numbers, 5);
  return WindowPlacement{numbers[0], numbers[1], numbers[2], numbers[3], numbers[4]};
}

std::string FormatPlacement(const WindowPlacement& p) {
  char text[100];
  int n = std::snprintf(text, sizeof text, "%d,%d,%d,%d,%d", p.left, p.top, p.right, p.bottom,
                        p.showCommand);
  return n > 0 && static_cast<std::size_t>(n) < sizeof text ? std::string(text) : std::string();
}

}  // namespace pelldesk
