// The widget boundary for text. Everything the client holds is 8-bit ISO-8859-1, so
// that every byte of a stored message round-trips; only here does text become Qt's.
#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace fw {

// Every byte is one character of the same code.
QString ToQt(std::string_view text);

// False, with `*out` untouched, when the text holds a character that ISO-8859-1 cannot
// hold: such text is refused by its caller, never changed silently.
bool FromQt(const QString& text, std::string* out);

}  // namespace fw
