// CMainFrame, the client's main window: the MDI frame with the tool bar and the status
// bar, its placement kept across runs, and the new-mail indication: the pane that counts
// the waiting messages, the new-mail icon while mail waits, and the sound when a newer
// message arrives.
#pragma once

#include <QIcon>
#include <QRect>

#include <optional>
#include <string>
#include <vector>

#include "framework/mdi_frame.h"
#include "mainframe/window_placement.h"

class QToolBar;

namespace pelldesk {

class CMailApp;

// The tool bar's buttons in order, 0 for a gap.
const std::vector<int>& ToolBarButtons();
// The status bar's seven panes.
const std::vector<fw::Indicator>& StatusIndicators();
// " %d new message%s waiting ", singular for one message.
std::string NewMailPaneText(int count);
// The frame's first geometry on a screen whose free area is `available` (the title bar
// and the window manager's frame fit in the eighth left over).
QRect FirstFrameGeometry(const QRect& available);

class CMainFrame : public fw::MdiFrame {
  Q_OBJECT

 public:
  explicit CMainFrame(CMailApp& app);
  ~CMainFrame() override;

  // Window creation: placement, bars, bar state, the new-mail icon. False when a bar
  // cannot be made (start-up then fails).
  bool Create();

  // Command 32788, sent by the new-mail monitor.
  void OnNewMail();

  int shownCount() const { return shownCount_; }
  bool barStateLoaded() const { return barStateLoaded_; }
  bool showsNewMailIcon() const { return savedClassIcon_.has_value(); }
  QToolBar* toolBar() const { return toolBar_; }

  // The placement as it would be saved now; nullopt when it cannot be read.
  std::optional<WindowPlacement> CurrentPlacement() const;
  void ApplyPlacement(const WindowPlacement& placement);

 signals:
  // After every New Mail command, for those who watch the indication.
  void NewMailShown(int count, bool newer);

 protected:
  void OnDestroy() override;

 private:
  CMailApp& mailApp_;
  QToolBar* toolBar_ = nullptr;
  int shownCount_ = -1;
  bool barStateLoaded_ = false;
  QIcon newMailIcon_;
  std::optional<QIcon> savedClassIcon_;
};

}  // namespace pelldesk
