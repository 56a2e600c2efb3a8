// The description of the display font (the original platform's LOGFONT record) and the
// text form in which the "Font" setting stores it: thirteen decimal numbers and the
// face name, separated by commas.
#pragma once

#include <cstdint>
#include <string>

namespace pelldesk {

struct LogFont {
  int32_t height = 0;  // negative: character height in pixels; positive: cell height
  int32_t width = 0;
  int32_t escapement = 0;
  int32_t orientation = 0;
  int32_t weight = 0;  // 0 any, 400 normal, 700 bold
  uint8_t italic = 0;
  uint8_t underline = 0;
  uint8_t strikeOut = 0;
  uint8_t charSet = 0;
  uint8_t outPrecision = 0;
  uint8_t clipPrecision = 0;
  uint8_t quality = 0;
  uint8_t pitchAndFamily = 0;  // low 2 bits pitch (1 fixed, 2 variable), high 4 family
  char faceName[32] = {};      // at most 31 characters

  bool operator==(const LogFont&) const = default;
};

inline constexpr uint8_t kFixedPitch = 0x01;
inline constexpr uint8_t kVariablePitch = 0x02;
inline constexpr uint8_t kFamilyRoman = 0x10;
inline constexpr uint8_t kFamilySwiss = 0x20;
inline constexpr uint8_t kFamilyModern = 0x30;
inline constexpr uint8_t kFamilyScript = 0x40;
inline constexpr uint8_t kFamilyDecorative = 0x50;

// The stored form, "%d,...,%d,%s" with the byte fields as numbers 0 to 255; false
// (and nothing in `*out`) when it would not fit in 256 characters.
bool FormatFontValue(const LogFont& font, std::string* out);

// Reads the stored form into `*font`: the face name is at most 31 characters and ends
// at the first comma, each byte field takes the low 8 bits of its number, and the
// fields after the first one that does not convert keep their values. Returns the
// number of fields read (14 for a complete value).
int ParseFontValue(const char* text, LogFont* font);

}  // namespace pelldesk
