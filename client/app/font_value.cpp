// The "Font" setting's text form.
#include "app/font_value.h"

#include <cstdio>
#include <cstring>

#include "app/number_list.h"

namespace pelldesk {

bool FormatFontValue(const LogFont& f, std::string* out) {
  char buffer[256];
  int n = std::snprintf(buffer, sizeof buffer, "%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%s", f.height,
                        f.width, f.escapement, f.orientation, f.weight, f.italic, f.underline,
                        f.strikeOut, f.charSet, f.outPrecision, f.clipPrecision, f.quality,
                        f.pitchAndFamily, f.faceName);
  if (n < 0 || static_cast<std::size_t>(n) >= sizeof buffer) return false;
  out->assign(buffer, static_cast<std::size_t>(n));
  return true;
}

int ParseFontValue(const char* text, LogFont* f) {
  int32_t numbers[13];
  const char* rest = text;
  const int read = ScanNumbers(text, numbers, 13, &rest);
  int32_t* const words[] = {&f->height, &f->width, &f->escapement, &f->orientation, &f->weight};
  uint8_t* const bytes[] = {&f->italic,       &f->underline,     &f->strikeOut,
                            &f->charSet,      &f->outPrecision,  &f->clipPrecision,
                            &f->quality,      &f->pitchAndFamily};
  for (int i = 0; i < read; ++i) {
    if (i < 5) {
      *words[i] = numbers[i];
    } else {
      *bytes[i - 5] = static_cast<uint8_t>(static_cast<uint32_t>(numbers[i]) & 0xFFu);
    }
  }
  if (read < 13 || *rest != ',') return read;
  const char* face = rest + 1;
  std::size_t length = std::strcspn(face, ",");
  if (length == 0) return read;
  if (length > sizeof f->faceName - 1) length = sizeof f->faceName - 1;
  std::memcpy(f->faceName, face, length);
  f->faceName[length] = '\0';
  return read + 1;
}

}  // namespace pelldesk
