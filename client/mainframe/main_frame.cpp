// The main frame: creation, destruction and the New Mail command.
#include "mainframe/main_frame.h"

#include <QScreen>
#include <QToolBar>

#include <cstdio>

#include "app/mail_app.h"
#include "app/resource_ids.h"
#include "app/ui_tables.h"
#include "framework/child_frame.h"
#include "framework/commands.h"
#include "framework/text.h"
#include "mainframe/keyboard_locks.h"

namespace pelldesk {

const std::vector<int>& ToolBarButtons() {
  static const std::vector<int> buttons = {
      kCmdNewMessage, kCmdReply,  kCmdForward, 0,          kCmdPost,       kCmdCancel,
      0,              kCmdDelete, kCmdMove,    kCmdClose,  0,              fw::kEditCut,
      fw::kEditCopy,  fw::kEditPaste, 0,       fw::kFilePrint, fw::kAppAbout};
  return buttons;
}

const std::vector<fw::Indicator>& StatusIndicators() {
  static const std::vector<fw::Indicator> panes = {
      {0, "Ready"},
      {kPaneNewMail, " 9999 new messages waiting "},
      {kPaneMode, "XXXXXX"},
      {kPaneModified, "MOD"},
      {fw::kIndicatorCaps, "CAP"},
      {fw::kIndicatorNum, "NUM"},
      {fw::kIndicatorScroll, "SCRL"},
  };
  return panes;
}

std::string NewMailPaneText(int count) {
  char text[41];
  int n = std::snprintf(text, sizeof text, " %d new message%s waiting ", count,
                        count == 1 ? "" : "s");
  return n > 0 ? std::string(text, std::min<std::size_t>(static_cast<std::size_t>(n), 40))
               : std::string();
}

QRect FirstFrameGeometry(const QRect& available) {
  const QSize size(available.width() * 7 / 8, available.height() * 7 / 8);
  return QRect(available.topLeft() + QPoint((available.width() - size.width()) / 2,
                                            (available.height() - size.height()) / 2),
               size);
}

CMainFrame::CMainFrame(CMailApp& app)
    : fw::MdiFrame(app, ClientUiResources(), kMainFrameId), mailApp_(app) {
  setWindowTitle(fw::ToQt(kMainCaption));
  setWindowIcon(QIcon(QString(":/icons/%1.png").arg(kMainFrameId)));
  // Until a placement is saved: most of the screen, in its middle.
  if (QScreen* screen = this->screen()) setGeometry(FirstFrameGeometry(screen->availableGeometry()));

  OnCommand(kCmdNewMail, [this] { OnNewMail(); });
  OnUpdate(kPaneNewMail, [this](fw::CommandState& state) { state.enabled = shownCount_ > 0; });
  OnUpdate(fw::kIndicatorCaps,
           [](fw::CommandState& state) { state.enabled = IsKeyboardLockOn(KeyboardLock::Caps); });
  OnUpdate(fw::kIndicatorNum,
           [](fw::CommandState& state) { state.enabled = IsKeyboardLockOn(KeyboardLock::Num); });
  OnUpdate(fw::kIndicatorScroll,
           [](fw::CommandState& state) { state.enabled = IsKeyboardLockOn(KeyboardLock::Scroll); });
}

CMainFrame::~CMainFrame() { Destroy(); }

bool CMainFrame::Create() {
  if (std::optional<WindowPlacement> placement =
          ParsePlacement(mailApp_.profile().GetString(kSettingsSection, "Window"))) {
    ApplyPlacement(*placement);
  }

  toolBar_ = CreateToolBar(fw::kToolBarId, ToolBarButtons(),
                           QPixmap(QString(":/bitmaps/%1.png").arg(kToolBarBitmap)), QSize(16, 15));
  if (toolBar_ == nullptr || !SetIndicators(StatusIndicators())) return false;
  setDockOptions(dockOptions() | QMainWindow::AllowNestedDocks);
  toolBar_->setToolButtonStyle(Qt::ToolButtonIconOnly);  // tool tips and prompts from the actions

  LoadBarState(mailApp_.profile(), kBarStatePrefix);
  barStateLoaded_ = true;

  newMailIcon_ = QIcon(QString(":/icons/%1.png").arg(kNewMailIcon));
  return true;
}

void CMainFrame::ApplyPlacement(const WindowPlacement& placement) {
  WindowPlacement p = placement;
  // Before the window is first shown only the rectangle counts: how it shows comes
  // from how the program was started.
  if (!isVisible()) p.showCommand = fw::SW_HIDE;
  if (p.HasUsableRect()) setGeometry(p.left, p.top, p.right - p.left, p.bottom - p.top);
  if (p.showCommand != fw::SW_HIDE) mailApp_.ShowMainWindow(p.showCommand);
}

std::optional<WindowPlacement> CMainFrame::CurrentPlacement() const {
  QRect normal = isMaximized() || isMinimized() || isFullScreen() ? normalGeometry() : geometry();
  if (normal.isEmpty()) return std::nullopt;
  int show = isMinimized() ? fw::SW_SHOWMINIMIZED
             : isMaximized() ? fw::SW_SHOWMAXIMIZED
                             : fw::SW_SHOWNORMAL;
  return WindowPlacement{normal.left(), normal.top(), normal.left() + normal.width(),
                         normal.top() + normal.height(), show};
}

void CMainFrame::OnDestroy() {
  if (!barStateLoaded_) return;
  SaveBarState(mailApp_.profile(), kBarStatePrefix);
  if (std::optional<WindowPlacement> placement = CurrentPlacement()) {
    std::string value = FormatPlacement(*placement);
    if (!value.empty()) mailApp_.profile().WriteString(kSettingsSection, "Window", value);
  }
}

void CMainFrame::OnNewMail() {
  int count = 0;
  bool newer = false;
  mailApp_.GetNewMailState(&count, &newer);
  if (count != shownCount_) {
    shownCount_ = count;
    SetPaneText(kPaneNewMail, NewMailPaneText(count));
    // On the screen before the sound: the sound is synchronous, and the beeps that
    // stand in for a missing sound device take a quarter of a second.
    PaintPaneNow(kPaneNewMail);
  }
  // Synchronous: the monitor, waiting for this command, waits for the sound too.
  if (newer) mailApp_.PlayNewMailSound();

  if (!newMailIcon_.isNull()) {
    bool changed = false;
    if (shownCount_ > 0 && !savedClassIcon_) {
      savedClassIcon_ = windowIcon();
      setWindowIcon(newMailIcon_);
      changed = true;
    } else if (shownCount_ <= 0 && savedClassIcon_) {
      setWindowIcon(*savedClassIcon_);
      savedClassIcon_.reset();
      changed = true;
    }
    if (changed && isMinimized()) repaint();
  }
  emit NewMailShown(count, newer);
}

}  // namespace pelldesk
