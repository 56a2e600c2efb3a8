// What a message document asks of the view that holds its text: the text as the
// message's bytes, the selection as offsets into them, and a way to point at a line.
// The document includes no widget: a message window's view implements this.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace pelldesk {

class MsgTextView {
 public:
  virtual ~MsgTextView() = default;

  // Replaces the whole text with `bytes` (a file just read) without marking the
  // document modified.
  virtual void SetText(std::string_view bytes) = 0;

  // The whole text as one contiguous run of bytes with CR LF line ends, valid and
  // unchanged until UnlockText. False, with that character selected and nothing to
  // unlock, when the text holds a character the code page cannot hold.
  virtual bool LockText(const char** text, int32_t* length) = 0;
  virtual void UnlockText() = 0;

  // Start and end offsets of the selection (end > start when something is selected).
  virtual void GetSelection(std::size_t* start, std::size_t* end) const = 0;

  // Selects the line that holds `offset` (to the start of the next line) when
  // `wholeLine`, else puts the caret at `offset`; either is scrolled into view.
  virtual void SelectErrorLine(std::size_t offset, bool wholeLine) = 0;
};

}  // namespace pelldesk
