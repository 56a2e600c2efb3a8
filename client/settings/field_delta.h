// How the settings pages turn what the user typed into a record of changes for the
// mail library: trimming, and one delta per text or number field, where an empty text
// field leaves the stored value alone and the delete mark removes it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace pelldesk {

// `text` without leading and trailing blanks and characters 8 to 13.
std::string TrimText(const std::string& text);

// Trims `pageText` in place. Equal to `storedValue`, a field of `size` bytes (letter
// case counts): false, and `deltaField` is left alone. Otherwise `deltaField` receives
// the text (at most size - 1 characters and a NUL), or the delete mark when the text
// is empty; true.
bool TextDelta(std::string& pageText, const char* storedValue, char* deltaField, std::size_t size);

// Equal: `*deltaField` := -1 (leave the stored value alone), false; different:
// `*deltaField` := newValue, true.
bool NumberDelta(int32_t newValue, int32_t storedValue, int32_t* deltaField);

// The text of a fixed-size record field, which need not end in a NUL.
std::string FieldText(const char* field, std::size_t size);

// `text` equals the record field, letter case ignored as the store ignores it in names.
bool SameIgnoringCase(const std::string& text, const char* field, std::size_t size);

}  // namespace pelldesk
