// The texts a message window builds: the composition form with its four header lines,
// the subject of a reply or forward, and a quoted range of a stored message. All text
// is bytes in the client's code page; nothing here parses what the user typed.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pelldesk {

// "From: " from CR LF "To: " to CR LF "Cc: " cc CR LF "Subject: " subject CR LF CR LF
// body: all four lines are there even when their values are empty.
std::string CompositionText(std::string_view from, std::string_view to, std::string_view cc,
                            std::string_view subject, std::string_view body);

// `prefix` and the subject without its leading run of white space, "re:" and "fwd:"
// (in any case); empty when nothing else is left, so that no bare prefix is made.
std::string MakeReplySubject(std::string_view subject, std::string_view prefix);

// Every line of the range (a line ends just after a LF, or at the end of the range)
// with `prefix` in front; CR characters stay where they were.
std::string QuoteText(const char* text, std::size_t length, std::string_view prefix);

}  // namespace pelldesk
