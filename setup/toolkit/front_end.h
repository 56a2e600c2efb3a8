// What the setup toolkit asks of a front end: a frame, modal dialogs, modeless notes,
// message boxes, the copy gauge and the wait cursor. Two front ends exist: the Qt
// Widgets one and the scripted one, which takes its answers from a file.
#pragma once

#include <cstddef>
#include <string>

#include "dialog_templates.h"

namespace setup {

enum class MessageIcon { kStop, kExclamation };

struct DialogRequest {
  const DialogTemplate* dialog = nullptr;
  DialogProc proc = DialogProc::kInfo;
  const DialogTemplate* help = nullptr;  // null: the dialog offers no help
  std::string text;                      // the template's text with its symbols filled in
  std::string edit_in;                   // "EditTextIn" for edit dialogs
  std::string edit_focus;                // "EditFocus": "END" cursor at the end, "ALL" all selected
};

struct DialogAnswer {
  std::string event;     // BACK, CANCEL, CONTINUE or EXIT
  std::string edit_out;  // "EditTextOut" of edit dialogs
};

class FrontEnd {
 public:
  virtual ~FrontEnd() = default;

  virtual bool SetBackground(int bitmap) = 0;
  virtual bool SetTitle(const std::string& title) = 0;

  // Shows a modal dialog until the user ends it; false when it cannot be shown.
  virtual bool ShowDialog(const DialogRequest& request, DialogAnswer* answer) = 0;

  // A modeless note, up until CloseNotes.
  virtual bool ShowNote(const DialogTemplate& note) = 0;
  virtual bool CloseNotes() = 0;

  virtual void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) = 0;

  // The copy gauge at (x, y) of the frame; Progress returns false when the user quits.
  virtual void BeginProgress(std::size_t total, int x, int y) = 0;
  virtual bool Progress(std::size_t done, const std::string& file) = 0;
  virtual void EndProgress() = 0;

  virtual void SetWaitCursor(bool on) = 0;

  // Dispatches pending window events.
  virtual void ProcessEvents() = 0;
};

}  // namespace setup
