// The setup dialogs' templates, in place of the original dialog library: for each
// template number its title, its text and the buttons it offers. How a dialog behaves
// (an edit field, one button only, no buttons and no wait) is its procedure's, which
// the installer names when it shows the template.
#pragma once

namespace setup {

// The dialog procedures of the toolkit.
enum class DialogProc {
  kInfo,      // text and the template's buttons
  kInfo0,     // text and one button, which continues
  kQuit,      // the quit confirmation: Exit Setup or Continue
  kEdit,      // text, an edit field ("EditTextIn", "EditFocus" in; "EditTextOut" out)
  kModeless,  // a note without buttons that stays up while the installer works
  kHelp,      // a help text, closed by its one button; it ends no dialog
};

enum DialogButton : unsigned {
  kButtonContinue = 1,  // CONTINUE
  kButtonBack = 2,      // BACK
  kButtonExit = 4,      // EXIT
};

struct DialogTemplate {
  int id;
  const char* title;
  const char* text;
  unsigned buttons;  // DialogButton bits; Help is added when a help template is given
};

// The template with this number, or null.
const DialogTemplate* FindDialogTemplate(int id);

}  // namespace setup
