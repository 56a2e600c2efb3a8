// The setup toolkit: the frame an installer runs in. It keeps the symbols (the
// command line's "STF_SRCDIR" and "STF_SRCINFPATH", the dialogs' "DLGEVENT",
// "EditTextIn", "EditFocus" and "EditTextOut"), shows dialogs, notes and message boxes
// through a front end, reads the script, copies the copy list with a gauge, checks and
// creates directories and makes menu items. Calls report success or failure; where
// the cause is the system's, the toolkit has told the user before it returns.
#pragma once

#include <cstddef>
#include <map>
#include <string>

#include "copy_list.h"
#include "dialog_templates.h"
#include "front_end.h"
#include "inf_script.h"

namespace setup {

class Toolkit {
 public:
  explicit Toolkit(FrontEnd& front_end) : front_end_(front_end) {}

  bool SetBackground(int bitmap) { return front_end_.SetBackground(bitmap); }
  bool SetTitle(const std::string& title) { return front_end_.SetTitle(title); }

  void SetSymbol(const std::string& name, const std::string& value) { symbols_[name] = value; }
  // The symbol's value ("" when unset); false, with `*value` untouched, when it is
  // longer than `max_length`.
  bool GetSymbol(const std::string& name, std::string* value, std::size_t max_length) const;

  // Shows template `id` with the procedure, and help template `help_id` (0: none);
  // leaves the event in "DLGEVENT" and an edit dialog's text in "EditTextOut". Pending
  // window events are dispatched afterwards. False for an unknown template or a
  // dialog that cannot be shown.
  bool DoDialog(int id, DialogProc proc, int help_id = 0);

  // Closes every modeless note.
  bool KillDialogs();

  void MessageBox(const std::string& text, const std::string& caption, MessageIcon icon);

  // The wait cursor while an object lives.
  class WaitCursor {
   public:
    explicit WaitCursor(Toolkit& toolkit) : toolkit_(toolkit) { toolkit_.front_end_.SetWaitCursor(true); }
    ~WaitCursor() { toolkit_.front_end_.SetWaitCursor(false); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

   private:
    Toolkit& toolkit_;
  };

  // Reads and parses the script; a failure is told to the user.
  bool OpenInf(const std::string& path);

  void ResetCopyList() { copy_list_.Reset(); }
  bool AddSectionFilesToCopyList(const std::string& section, const std::string& source_dir,
                                 const std::string& destination_dir);
  void SetGaugePosition(int x, int y) {
    gauge_x_ = x;
    gauge_y_ = y;
  }
  // Copies every file of the list, replacing what is there: kCopyDone, kCopyUserQuit
  // when the user quits at the gauge, kCopyFailed when a file cannot be copied.
  int CopyFilesInCopyList();

  // Creates the directory (and those on its way) unless it exists.
  bool CreateDir(const std::string& path, unsigned mode);

  // Makes the group's place in the applications menu ready, and an item in it.
  bool ShowMenuGroup(const std::string& group);
  // `comment` describes the item in the menu (the entry's Comment).
  bool CreateMenuItem(const std::string& group, const std::string& item, const std::string& target,
                      const std::string& comment = {});

  FrontEnd& front_end() { return front_end_; }

 private:
  void ReportFailure(const std::string& what, uint32_t code);
  // `text` with each "%Name%" of a symbol set replaced by its value.
  std::string ExpandSymbols(const std::string& text) const;

  FrontEnd& front_end_;
  std::map<std::string, std::string> symbols_;
  InfScript script_;
  bool script_open_ = false;
  CopyList copy_list_;
  int gauge_x_ = 0;
  int gauge_y_ = 0;
  std::string applications_;
};

}  // namespace setup
