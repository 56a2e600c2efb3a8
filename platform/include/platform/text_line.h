// The one rule by which a status or message text becomes a line of output: the
// platform's and the catalogue's texts end in CR LF (some with a blank before it),
// which a caller that adds its own line end, or joins texts, must not repeat.
// Header-only; knows nothing of where the text came from.
#pragma once

#include <string_view>

namespace platform {

namespace text_line_detail {
constexpr std::string_view TrimEnd(std::string_view text, bool blanks) noexcept {
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || (blanks && text.back() == ' '))) {
    text.remove_suffix(1);
  }
  return text;
}
}  // namespace text_line_detail

// `text` without the CR and LF characters that end it, as a program shows a status
// text under its own message; line breaks inside the text stay. A view into `text`.
constexpr std::string_view WithoutLineEnd(std::string_view text) noexcept {
  return text_line_detail::TrimEnd(text, false);
}

// As WithoutLineEnd, and without the blanks before the line end too: for log lines
// and for texts joined to others, where a trailing blank would double the separator.
constexpr std::string_view WithoutTrailingSpace(std::string_view text) noexcept {
  return text_line_detail::TrimEnd(text, true);
}

}  // namespace platform
