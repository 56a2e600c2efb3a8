// LOGFONT-style descriptions and Qt fonts.
#include "app/display_font.h"

#include <QFontDatabase>
#include <QFontInfo>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "framework/text.h"

namespace pelldesk {
namespace {

QFont::StyleHint HintOf(uint8_t pitch_and_family) {
  switch (pitch_and_family & 0xF0) {
    case kFamilyRoman: return QFont::Serif;
    case kFamilySwiss: return QFont::SansSerif;
    case kFamilyModern: return QFont::Monospace;
    case kFamilyScript: return QFont::Cursive;
    case kFamilyDecorative: return QFont::Fantasy;
    default: return QFont::AnyStyle;
  }
}

}  // namespace

std::optional<QFont> CreateDisplayFont(const LogFont& d) {
  if (std::abs(static_cast<int64_t>(d.height)) > kMaxFontPixels ||
      std::abs(static_cast<int64_t>(d.width)) > kMaxFontPixels || d.weight < 0 || d.weight > 1000) {
    return std::nullopt;
  }
  const bool fixed = (d.pitchAndFamily & 0x03) == kFixedPitch;
  QFont font;
  if (d.faceName[0] == '\0') {
    // No face named: the platform's default font of the family and pitch asked for.
    font = fixed || HintOf(d.pitchAndFamily) == QFont::Monospace
               ? QFontDatabase::systemFont(QFontDatabase::FixedFont)
               : QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  } else {
    font = QFont(fw::ToQt(d.faceName));
    font.setStyleHint(HintOf(d.pitchAndFamily));
  }
  if (fixed) font.setFixedPitch(true);
  if (d.height != 0) font.setPixelSize(std::max(1, std::abs(d.height)));
  if (d.weight != 0) font.setWeight(static_cast<QFont::Weight>(std::clamp(d.weight, 100, 900)));
  font.setItalic(d.italic != 0);
  font.setUnderline(d.underline != 0);
  font.setStrikeOut(d.strikeOut != 0);
  return font;
}

bool LogFontFromQFont(const QFont& font, LogFont* d) {
  std::string face;
  if (!fw::FromQt(font.family(), &face) || face.size() > sizeof d->faceName - 1) return false;
  QFontInfo info(font);
  LogFont result;
  result.height = -std::max(1, info.pixelSize());
  result.weight = static_cast<int32_t>(font.weight());
  result.italic = font.italic() ? 1 : 0;
  result.underline = font.underline() ? 1 : 0;
  result.strikeOut = font.strikeOut() ? 1 : 0;
  result.charSet = 0;
  result.outPrecision = 3;
  result.clipPrecision = 2;
  result.quality = 1;
  result.pitchAndFamily = info.fixedPitch() ? (kFixedPitch | kFamilyModern)
                                            : (kVariablePitch | kFamilySwiss);
  std::memcpy(result.faceName, face.c_str(), face.size() + 1);
  *d = result;
  return true;
}

}  // namespace pelldesk
