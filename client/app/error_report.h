// The text of an error report: a message with at most one "%s", a blank line and the
// library's text for a status code, within the 512 characters a report may hold.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace pelldesk {

inline constexpr std::size_t kReportSize = 512;       // the whole report, with its NUL
inline constexpr std::size_t kReportMessageMax = 504;  // the formatted message alone

// `format` with its "%s" filled from `text` ("%%" stands for "%"); then, for a
// non-zero status, CR LF CR LF and GetErrorText's text of the status in what is left of
// the 512 characters; trailing CR and LF removed. Nullopt when the message comes out
// empty or longer than 504 characters, or when the format holds any conversion but one
// "%s": such a format would read arguments that were never passed.
std::optional<std::string> FormatErrorReport(const char* format, const char* text, uint32_t status);

}  // namespace pelldesk
