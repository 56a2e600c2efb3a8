// The editor's form of a message's bytes and the offsets between the two.
#include "message/message_text.h"

namespace pelldesk {

QString EditorText(std::string_view bytes) {
  QString text;
  text.reserve(static_cast<qsizetype>(bytes.size()));
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (byte == '\r') {
      if (i + 1 < bytes.size() && bytes[i + 1] == '\n') {
        text += QChar(u'\n');
        ++i;
      } else {
        text += QChar(kLoneCarriageReturn);
      }
    } else if (byte == '\n') {
      text += QChar(kLoneLineFeed);
    } else {
      text += QChar(byte);
    }
  }
  return text;
}

std::string StoredBytes(const QString& editor, qsizetype* unstorable) {
  *unstorable = -1;
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(editor.size()) + 64);
  for (qsizetype i = 0; i < editor.size(); ++i) {
    const char16_t c = editor.at(i).unicode();
    if (c == u'\n') {
      bytes += "\r\n";
    } else if (c == kLoneLineFeed) {
      bytes += '\n';
    } else if (c == kLoneCarriageReturn) {
      bytes += '\r';
    } else if (c <= 0xFF) {
      bytes += static_cast<char>(c);
    } else {
      if (*unstorable < 0) *unstorable = i;
      bytes += '?';
    }
  }
  return bytes;
}

std::size_t EditorPosition(std::string_view bytes, std::size_t offset) {
  if (offset > bytes.size()) offset = bytes.size();
  std::size_t position = 0;
  for (std::size_t i = 0; i < offset; ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
      if (i + 1 == offset) return position;  // on the pair's LF: its block break
      ++i;
    }
    ++position;
  }
  return position;
}

bool LineAt(std::string_view bytes, std::size_t offset, std::size_t* start, std::size_t* next) {
  if (offset > bytes.size()) return false;
  const std::size_t before = offset == 0 ? std::string_view::npos : bytes.rfind('\n', offset - 1);
  *start = before == std::string_view::npos ? 0 : before + 1;
  const std::size_t end = bytes.find('\n', offset);
  *next = end == std::string_view::npos ? bytes.size() : end + 1;
  return true;
}

std::size_t EndOfLine(std::string_view bytes, std::size_t line) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < line; ++i) {
    const std::size_t lf = bytes.find('\n', start);
    if (lf == std::string_view::npos) return bytes.size();
    start = lf + 1;
  }
  const std::size_t lf = bytes.find('\n', start);
  if (lf == std::string_view::npos) return bytes.size();
  return lf > start && bytes[lf - 1] == '\r' ? lf - 1 : lf;
}

}  // namespace pelldesk
