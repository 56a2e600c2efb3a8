// How a message's bytes stand in the editor, and how offsets into those bytes meet
// editor positions. The editor keeps one character per line break, so a CR LF pair is
// one block break there; a LF alone becomes a line separator and a CR alone a visible
// CR symbol, so that every byte value comes back unchanged. Every other byte is the
// character of the same code. Offsets count bytes; positions count editor characters.
#pragma once

#include <QString>

#include <cstddef>
#include <string>
#include <string_view>

namespace pelldesk {

inline constexpr char16_t kLoneLineFeed = 0x2028;        // a LF without its CR
inline constexpr char16_t kLoneCarriageReturn = 0x240D;  // a CR without its LF

// The editor's text of `bytes`, with "\n" for each CR LF (one block break each).
QString EditorText(std::string_view bytes);

// The bytes of an editor text in which "\n" separates blocks. A character the code
// page cannot hold becomes "?", so that offsets stay where they were, and the position
// of the first of them goes into `*unstorable` (-1 when there is none).
std::string StoredBytes(const QString& editor, qsizetype* unstorable);

// The editor position of a byte offset. An offset past the end is the end; an offset
// on the LF of a CR LF pair is the position of that pair's block break.
std::size_t EditorPosition(std::string_view bytes, std::size_t offset);

// The byte offset of an editor position in a text whose position lies in block
// number `block` (each block break before it stands for two bytes).
inline std::size_t TextOffset(std::size_t position, std::size_t block) { return position + block; }

// Lines end just after a LF (of a CR LF pair or alone), as the mail library reads them.
// The start of the line that holds `offset`, and the start of the line after it (the
// end of the text for the last line). False when `offset` lies past the end.
bool LineAt(std::string_view bytes, std::size_t offset, std::size_t* start, std::size_t* next);

// The offset of the end of line `line` (0-based), before its CR LF or LF; the end of
// the text when the text has fewer lines.
std::size_t EndOfLine(std::string_view bytes, std::size_t line);

}  // namespace pelldesk
