// ISO-8859-1 conversion at the widget boundary.
#include "framework/text.h"

namespace fw {

QString ToQt(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

bool FromQt(const QString& text, std::string* out) {
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(text.size()));
  for (QChar c : text) {
    if (c.unicode() > 0xFF) return false;
    bytes.push_back(static_cast<char>(c.unicode()));
  }
  *out = std::move(bytes);
  return true;
}

}  // namespace fw
