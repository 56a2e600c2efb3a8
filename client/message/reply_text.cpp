// Composition form, reply subjects and quoting.
#include "message/reply_text.h"

#include <strings.h>

namespace pelldesk {
namespace {

bool IsWhiteSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

bool StartsWithWord(std::string_view text, std::string_view word) {
  return text.size() >= word.size() && strncasecmp(text.data(), word.data(), word.size()) == 0;
}

}  // namespace

std::string CompositionText(std::string_view from, std::string_view to, std::string_view cc,
                            std::string_view subject, std::string_view body) {
  std::string text;
  text.reserve(from.size() + to.size() + cc.size() + subject.size() + body.size() + 32);
  text.append("From: ").append(from).append("\r\nTo: ").append(to).append("\r\nCc: ").append(cc);
  text.append("\r\nSubject: ").append(subject).append("\r\n\r\n").append(body);
  return text;
}

std::string MakeReplySubject(std::string_view subject, std::string_view prefix) {
  std::string_view rest = subject;
  for (;;) {
    while (!rest.empty() && IsWhiteSpace(rest.front())) rest.remove_prefix(1);
    if (StartsWithWord(rest, "re:")) {
      rest.remove_prefix(3);
    } else if (StartsWithWord(rest, "fwd:")) {
      rest.remove_prefix(4);
    } else {
      break;
    }
  }
  if (rest.empty()) return {};
  std::string result(prefix);
  result.append(rest);
  return result;
}

std::string QuoteText(const char* text, std::size_t length, std::string_view prefix) {
  std::string quoted;
  std::size_t start = 0;
  while (start < length) {
    std::size_t end = start;
    while (end < length && text[end] != '\n') ++end;
    if (end < length) ++end;  // the LF belongs to its line
    quoted.append(prefix).append(text + start, end - start);
    start = end;
  }
  return quoted;
}

}  // namespace pelldesk
