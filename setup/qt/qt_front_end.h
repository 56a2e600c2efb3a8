// The Qt Widgets front end of the setup toolkit: the frame window, modal dialogs over
// it, modeless notes, message boxes, a progress dialog as the copy gauge, and the
// wait cursor. It needs a QApplication.
#pragma once

#include <QProgressDialog>
#include <memory>
#include <vector>

#include "frame_window.h"
#include "front_end.h"
#include "setup_dialog.h"

namespace setup {

class QtFrontEnd : public FrontEnd {
 public:
  QtFrontEnd();
  ~QtFrontEnd() override;

  bool SetBackground(int bitmap) override;
  bool SetTitle(const std::string& title) override;
  bool ShowDialog(const DialogRequest& request, DialogAnswer* answer) override;
  bool ShowNote(const DialogTemplate& note) override;
  bool CloseNotes() override;
  void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override;
  void BeginProgress(std::size_t total, int x, int y) override;
  bool Progress(std::size_t done, const std::string& file) override;
  void EndProgress() override;
  void SetWaitCursor(bool on) override;
  void ProcessEvents() override;

  FrameWindow& frame() { return frame_; }

 private:
  FrameWindow frame_;
  std::vector<std::unique_ptr<SetupDialog>> notes_;
  std::unique_ptr<QProgressDialog> progress_;
  int wait_cursors_ = 0;
};

}  // namespace setup
