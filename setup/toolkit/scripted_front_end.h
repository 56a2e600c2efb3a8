// The scripted front end, for unattended installs and tests: it takes the answer to
// each dialog from an answers file, in order, and writes a transcript of every dialog,
// note, message and copy. The answers file:
//
//   <template> <EVENT> [<text>]   answers the next dialog, which must be <template>;
//                                 <text> is what is typed into an edit dialog (the rest
//                                 of the line; "" is empty; without it the proposed text
//                                 is kept)
//   copy QUIT <n>                 the user quits the copy after <n> files
//   # ...                         a comment; blank lines are ignored
//
// A dialog with a single button (400, 6400, 700) that the next line does not name is
// answered CONTINUE. Any other dialog without its line cannot be shown, which ends
// the installation through its failure exit.
#pragma once

#include <cstddef>
#include <cstdio>
#include <deque>
#include <string>

#include "front_end.h"

namespace setup {

class ScriptedFrontEnd : public FrontEnd {
 public:
  // `transcript`, when not null, receives each transcript line as it happens.
  explicit ScriptedFrontEnd(std::FILE* transcript = nullptr) : out_(transcript) {}

  // Takes the answers; false with `*error` ("line 2: ...") for a line it cannot read.
  bool Load(const std::string& answers, std::string* error);

  // Every transcript line so far, each ending in "\n".
  const std::string& transcript() const { return transcript_; }

  bool SetBackground(int bitmap) override;
  bool SetTitle(const std::string& title) override;
  bool ShowDialog(const DialogRequest& request, DialogAnswer* answer) override;
  bool ShowNote(const DialogTemplate& note) override;
  bool CloseNotes() override;
  void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override;
  void BeginProgress(std::size_t total, int x, int y) override;
  bool Progress(std::size_t done, const std::string& file) override;
  void EndProgress() override {}
  void SetWaitCursor(bool) override {}
  void ProcessEvents() override {}

 private:
  struct Answer {
    int line;
    int dialog;
    std::string event;
    bool has_text;
    std::string text;
  };

  void Note(const std::string& line);

  std::FILE* out_;
  std::string transcript_;
  std::deque<Answer> answers_;
  long quit_copy_after_ = -1;
};

}  // namespace setup
