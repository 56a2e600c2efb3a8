// The one rule by which a status or message text becomes a line of output: the
// platform's and the catalogue's texts end in CR LF (some with a blank before it),
// which a caller that adds its own line end, or joins texts, must not repeat.
// Header-only; knows nothing of where the text came from.
#pragma once

#include <string_view>

namespace platform {

// `text` without the CR, LF and blank characters that end it; line breaks inside
// the text stay. The view points into `text`.
constexpr std::string_view WithoutLineEnd(std::string_view text) noexcept {
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) {
    text.remove_suffix(1);
  }
  return text;
}

}  // namespace platform
