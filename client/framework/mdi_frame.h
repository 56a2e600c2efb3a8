// The main frame of a multiple-document application: the MDI area with its child
// frames, the menu of the active window's kind, the actions of every command with their
// accelerators, tool bars and the status bar with its indicator panes. It owns the
// command router and refreshes every action's and pane's state from it whenever
// something they depend on changes (the active window, the focus, a command run, a
// document or a view's selection changed, a lock key, the clipboard) and before a menu
// opens, so no window sets enable or check states itself, and nothing is asked while
// nothing changes.
#pragma once

#include <QLabel>
#include <QMainWindow>

#include <map>
#include <string>
#include <vector>

#include "framework/command_router.h"
#include "framework/command_target.h"
#include "framework/ui_resources.h"

class QMdiArea;
class QMenu;
class QToolBar;

namespace fw {

class Application;
class ChildFrame;
class Profile;

class MdiFrame : public QMainWindow, public CommandTarget {
  Q_OBJECT

 public:
  // `default_menu` is shown while no child window is open.
  MdiFrame(Application& app, const UiResources& resources, int default_menu);
  ~MdiFrame() override;

  Application& app() const { return app_; }
  QMdiArea* mdiArea() const { return mdi_; }
  const CommandRouter& router() const { return router_; }

  // The current child frame (also while the main window itself is inactive), or null.
  ChildFrame* ActiveChild() const;
  std::vector<ChildFrame*> Children() const;
  void AddChild(ChildFrame* frame);

  QAction* Action(int id) const;
  // Shows the menu bar of menu `id` (kept when there is no such menu).
  void ShowMenu(int id);
  int shownMenu() const { return shown_menu_; }

  // Sends command `id` to every window inside the frame that handles it (views and
  // child frames), each once and at once.
  void SendToDescendants(int id);

  // Refreshes every action and pane from the router.
  void UpdateCommandUi();
  // Refreshes them once the current event is handled: any number of requests made
  // meanwhile cost one refresh.
  void RequestCommandUiUpdate();
  // How many refreshes ran (for tests).
  int commandUiUpdates() const { return command_ui_updates_; }

  // The tool bar with the given buttons (0 is a gap) and images cut from `strip`, one
  // `image_size` picture per button; null when the strip does not hold them all.
  QToolBar* CreateToolBar(int bar_id, const std::vector<int>& buttons, const QPixmap& strip,
                          QSize image_size);
  // The status bar's panes, left to right; false when the list is empty.
  bool SetIndicators(const std::vector<Indicator>& indicators);
  void SetPaneText(int id, const std::string& text);
  // Paints the pane at once, before anything else the caller does (a sound that blocks).
  void PaintPaneNow(int id);
  // The text a pane shows now ("" while its rule has it disabled).
  std::string PaneText(int id) const;

  // The visibility and place of the bars, under sections "<prefix>-Bar<id>".
  void SaveBarState(const Profile& profile, const std::string& prefix) const;
  void LoadBarState(const Profile& profile, const std::string& prefix);

  // Once, before the frame goes away: the place to save what the frame keeps.
  virtual void OnDestroy() {}
  void Destroy();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Pane {
    QLabel* label;
    std::string text;
  };
  std::vector<CommandTarget*> Chain() const;
  void BuildActions(const UiResources& resources);
  void BuildMenus(const UiResources& resources);
  void FillWindowList(QMenu* menu);
  void TileChildren(bool side_by_side);
  void ArrangeIcons();

  Application& app_;
  QMdiArea* mdi_;
  CommandRouter router_;
  bool update_requested_ = false;
  int command_ui_updates_ = 0;
  std::map<int, QAction*> actions_;
  std::map<int, std::vector<QMenu*>> menus_;
  std::vector<QAction*> window_list_;
  std::map<int, Pane> panes_;
  int default_menu_;
  int shown_menu_ = 0;
  bool destroyed_ = false;
};

}  // namespace fw
