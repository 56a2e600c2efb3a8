// Turning the stored font description into a Qt font and back. Creation fails for a
// description no sensible font can be made from, as the original platform's font
// creation did for impossible values; callers then keep the font they had.
#pragma once

#include <QFont>

#include <optional>

#include "app/font_value.h"

namespace pelldesk {

// Heights and widths beyond this many pixels, and weights outside 0 to 1000, make no
// font.
inline constexpr int32_t kMaxFontPixels = 2048;

std::optional<QFont> CreateDisplayFont(const LogFont& description);

// The description of a font chosen in the font dialog, with the values that dialog
// gives every screen font. False when its face name does not fit the record (more than
// 31 characters, or characters outside ISO-8859-1).
bool LogFontFromQFont(const QFont& font, LogFont* description);

}  // namespace pelldesk
