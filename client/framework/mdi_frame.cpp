// The MDI main frame: actions, menus, bars, panes and the command chain.
#include "framework/mdi_frame.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QCloseEvent>
#include <QLayout>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

#include "framework/application.h"
#include "framework/child_frame.h"
#include "framework/child_placement.h"
#include "framework/commands.h"
#include "framework/doc_template.h"
#include "framework/document.h"
#include "framework/profile.h"
#include "framework/text.h"
#include "framework/view.h"

namespace fw {
namespace {

const char kBarIdProperty[] = "barId";
const char kWindowListProperty[] = "windowListItem";

QToolBar* FindToolBar(const QMainWindow* frame, int bar_id) {
  for (QToolBar* bar : frame->findChildren<QToolBar*>()) {
    if (bar->property(kBarIdProperty).toInt() == bar_id) return bar;
  }
  return nullptr;
}

std::string BarSection(const std::string& prefix, int bar_id) {
  return prefix + "-Bar" + std::to_string(bar_id);
}

}  // namespace

MdiFrame::MdiFrame(Application& app, const UiResources& resources, int default_menu)
    : app_(app), mdi_(new QMdiArea(this)), router_([this] { return Chain(); }),
      default_menu_(default_menu) {
  setCentralWidget(mdi_);
  // Closing a window goes back to the one the user came from, not to the oldest.
  mdi_->setActivationOrder(QMdiArea::ActivationHistoryOrder);
  BuildActions(resources);
  BuildMenus(resources);
  ShowMenu(default_menu);

  connect(mdi_, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow*) {
    ChildFrame* frame = ActiveChild();
    ShowMenu(frame != nullptr && frame->docTemplate() != nullptr ? frame->docTemplate()->menuId()
                                                                  : default_menu_);
    UpdateCommandUi();
  });
  // In place of idle-time updates: the states follow the changes they depend on.
  connect(qApp, &QApplication::focusChanged, this, &MdiFrame::RequestCommandUiUpdate);
  if (QClipboard* clipboard = QGuiApplication::clipboard()) {
    connect(clipboard, &QClipboard::dataChanged, this, &MdiFrame::RequestCommandUiUpdate);
  }
  qApp->installEventFilter(this);  // the lock keys, wherever the focus is

  auto bar_toggle = [this](int bar_id) {
    OnCommand(
        bar_id,
        [this, bar_id] {
          QWidget* bar = bar_id == kStatusBarId ? static_cast<QWidget*>(statusBar())
                                                : FindToolBar(this, bar_id);
          if (bar != nullptr) bar->setVisible(!bar->isVisibleTo(this));
        },
        [this, bar_id](CommandState& state) {
          QWidget* bar = bar_id == kStatusBarId ? static_cast<QWidget*>(statusBar())
                                                : FindToolBar(this, bar_id);
          state.enabled = bar != nullptr;
          state.checked = bar != nullptr && bar->isVisibleTo(this);
        });
  };
  bar_toggle(kToolBarId);
  bar_toggle(kStatusBarId);

  auto has_children = [this](CommandState& state) { state.enabled = !Children().empty(); };
  OnCommand(kWindowCascade, [this] { mdi_->cascadeSubWindows(); }, has_children);
  OnCommand(kWindowTileHorizontal, [this] { TileChildren(false); }, has_children);
  OnCommand(kWindowTileVertical, [this] { TileChildren(true); }, has_children);
  OnCommand(kWindowArrange, [this] { ArrangeIcons(); }, has_children);
}

MdiFrame::~MdiFrame() { Destroy(); }

void MdiFrame::Destroy() {
  if (destroyed_) return;
  destroyed_ = true;
  if (qApp != nullptr) qApp->removeEventFilter(this);
  OnDestroy();
}

void MdiFrame::closeEvent(QCloseEvent* event) {
  if (!app_.CanCloseMainFrame()) {
    event->ignore();
    return;
  }
  app_.CloseAllDocuments();
  Destroy();
  event->accept();
  app_.OnMainFrameClosed(this);
}

void MdiFrame::changeEvent(QEvent* event) {
  // Lock keys pressed in another program show when the user comes back.
  if (event->type() == QEvent::ActivationChange) RequestCommandUiUpdate();
  QMainWindow::changeEvent(event);
}

bool MdiFrame::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyRelease) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_CapsLock || key == Qt::Key_NumLock || key == Qt::Key_ScrollLock) RequestCommandUiUpdate();
  }
  return QMainWindow::eventFilter(watched, event);
}

void MdiFrame::RequestCommandUiUpdate() {
  if (update_requested_ || destroyed_) return;
  update_requested_ = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        update_requested_ = false;
        if (!destroyed_) UpdateCommandUi();
      },
      Qt::QueuedConnection);
}

std::vector<CommandTarget*> MdiFrame::Chain() const {
  std::vector<CommandTarget*> chain;
  if (ChildFrame* frame = ActiveChild()) {
    if (View* view = frame->view()) {
      chain.push_back(view);
      if (Document* doc = view->document()) chain.push_back(doc);
    }
    chain.push_back(frame);
  }
  chain.push_back(const_cast<MdiFrame*>(this));
  chain.push_back(&app_);
  return chain;
}

ChildFrame* MdiFrame::ActiveChild() const {
  auto* frame = qobject_cast<ChildFrame*>(mdi_->currentSubWindow());
  return frame != nullptr && !frame->IsDestroying() ? frame : nullptr;
}

std::vector<ChildFrame*> MdiFrame::Children() const {
  std::vector<ChildFrame*> children;
  for (QMdiSubWindow* window : mdi_->subWindowList()) {
    auto* frame = qobject_cast<ChildFrame*>(window);
    if (frame != nullptr && !frame->IsDestroying()) children.push_back(frame);
  }
  return children;
}

void MdiFrame::AddChild(ChildFrame* frame) {
  const int open = static_cast<int>(Children().size());
  mdi_->addSubWindow(frame);
  // The first windows open before the frame is shown: lay it out to know the area.
  if (!isVisible() && layout() != nullptr) layout()->activate();
  const int step = frame->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, frame);
  frame->setGeometry(DefaultChildGeometry(mdi_->contentsRect().size(), open, step));
}

void MdiFrame::BuildActions(const UiResources& resources) {
  auto make_action = [this](int id) {
    QAction*& action = actions_[id];
    if (action == nullptr) {
      action = new QAction(this);
      action->setIconVisibleInMenu(false);
      connect(action, &QAction::triggered, this, [this, id] {
        router_.Execute(id);
        UpdateCommandUi();
      });
      addAction(action);  // its accelerators work wherever the focus is in the frame
    }
    return action;
  };
  for (const CommandInfo& info : resources.commands) {
    QAction* action = make_action(info.id);
    action->setText(ToQt(info.menuText != nullptr ? info.menuText : ""));
    if (info.prompt != nullptr) {
      QString prompt = ToQt(info.prompt);
      qsizetype line_break = prompt.indexOf('\n');
      action->setStatusTip(prompt.left(line_break));
      action->setToolTip(line_break < 0 ? prompt : prompt.mid(line_break + 1));
    }
  }
  std::map<int, QList<QKeySequence>> keys;
  for (const Accelerator& accelerator : resources.accelerators) {
    keys[accelerator.id].append(QKeySequence(QString::fromLatin1(accelerator.keys)));
  }
  for (auto& [id, sequences] : keys) make_action(id)->setShortcuts(sequences);
}

void MdiFrame::BuildMenus(const UiResources& resources) {
  for (const MenuDef& def : resources.menus) {
    std::vector<QMenu*>& menus = menus_[def.id];
    for (const Popup& popup : def.popups) {
      auto* menu = new QMenu(ToQt(popup.title), this);
      for (int id : popup.items) {
        if (id == 0) {
          menu->addSeparator();
        } else if (QAction* action = Action(id)) {
          menu->addAction(action);
        }
      }
      connect(menu, &QMenu::aboutToShow, this, &MdiFrame::UpdateCommandUi);
      if (popup.windowList) {
        connect(menu, &QMenu::aboutToShow, this, [this, menu] { FillWindowList(menu); });
      }
      menus.push_back(menu);
    }
  }
}

QAction* MdiFrame::Action(int id) const {
  auto it = actions_.find(id);
  return it != actions_.end() ? it->second : nullptr;
}

void MdiFrame::ShowMenu(int id) {
  auto it = menus_.find(id);
  if (it == menus_.end() || id == shown_menu_) return;
  menuBar()->clear();
  for (QMenu* menu : it->second) menuBar()->addMenu(menu);
  shown_menu_ = id;
}

void MdiFrame::FillWindowList(QMenu* menu) {
  for (QAction* action : menu->actions()) {
    if (action->property(kWindowListProperty).toBool()) {
      menu->removeAction(action);
      delete action;
    }
  }
  std::vector<ChildFrame*> children = Children();
  if (children.empty()) return;
  menu->addSeparator()->setProperty(kWindowListProperty, true);
  ChildFrame* active = ActiveChild();
  int number = 1;
  for (ChildFrame* frame : children) {
    QAction* action = menu->addAction(QString("&%1 %2").arg(number++).arg(frame->windowTitle()));
    action->setProperty(kWindowListProperty, true);
    action->setCheckable(true);
    action->setChecked(frame == active);
    QPointer<ChildFrame> target(frame);
    connect(action, &QAction::triggered, this, [target] {
      if (target) target->ActivateFrame(target->isMinimized() ? SW_RESTORE : -1);
    });
  }
}

void MdiFrame::TileChildren(bool side_by_side) {
  std::vector<ChildFrame*> windows;
  for (ChildFrame* frame : Children()) {
    if (frame->isVisible() && !frame->isMinimized()) windows.push_back(frame);
  }
  if (windows.empty()) return;
  const QRect area = mdi_->viewport()->rect();
  const int count = static_cast<int>(windows.size());
  for (int i = 0; i < count; ++i) {
    QRect rect;
    if (side_by_side) {
      int left = area.width() * i / count;
      rect = QRect(left, 0, area.width() * (i + 1) / count - left, area.height());
    } else {
      int top = area.height() * i / count;
      rect = QRect(0, top, area.width(), area.height() * (i + 1) / count - top);
    }
    windows[static_cast<std::size_t>(i)]->showNormal();
    windows[static_cast<std::size_t>(i)]->setGeometry(rect);
  }
}

void MdiFrame::ArrangeIcons() {
  const QRect area = mdi_->viewport()->rect();
  int left = 0;
  for (ChildFrame* frame : Children()) {
    if (!frame->isMinimized()) continue;
    frame->move(left, area.height() - frame->height());
    left += frame->width();
  }
}

void MdiFrame::SendToDescendants(int id) {
  for (QWidget* widget : findChildren<QWidget*>()) {
    if (auto* target = dynamic_cast<CommandTarget*>(widget)) target->Dispatch(id);
  }
}

void MdiFrame::UpdateCommandUi() {
  ++command_ui_updates_;
  for (auto& [id, action] : actions_) {
    CommandState state = router_.State(id);
    action->setEnabled(state.enabled);
    if (state.checked && !action->isCheckable()) action->setCheckable(true);
    if (action->isCheckable()) action->setChecked(state.checked);
  }
  for (auto& [id, pane] : panes_) {
    if (id == 0) continue;
    CommandState state = router_.State(id);
    if (state.text) pane.text = *state.text;
    QString shown = state.enabled ? ToQt(pane.text) : QString();
    if (pane.label->text() != shown) pane.label->setText(shown);
  }
}

QToolBar* MdiFrame::CreateToolBar(int bar_id, const std::vector<int>& buttons,
                                  const QPixmap& strip, QSize image_size) {
  int images = 0;
  for (int id : buttons) images += id != 0 ? 1 : 0;
  if (strip.isNull() || strip.width() < images * image_size.width() ||
      strip.height() < image_size.height()) {
    return nullptr;
  }
  auto* bar = new QToolBar(tr("Toolbar"), this);
  bar->setObjectName(QString("Bar%1").arg(bar_id));
  bar->setProperty(kBarIdProperty, bar_id);
  bar->setIconSize(image_size);
  bar->setAllowedAreas(Qt::AllToolBarAreas);
  int image = 0;
  for (int id : buttons) {
    if (id == 0) {
      bar->addSeparator();
      continue;
    }
    QAction* action = Action(id);
    if (action == nullptr) continue;
    action->setIcon(QIcon(strip.copy(image++ * image_size.width(), 0, image_size.width(),
                                     image_size.height())));
    bar->addAction(action);
  }
  addToolBar(Qt::TopToolBarArea, bar);
  bar->setVisible(true);  // also when the frame is already shown
  return bar;
}

bool MdiFrame::SetIndicators(const std::vector<Indicator>& indicators) {
  if (indicators.empty()) return false;
  QStatusBar* bar = statusBar();
  bar->setObjectName(QString("Bar%1").arg(kStatusBarId));
  for (const Indicator& indicator : indicators) {
    auto* label = new QLabel(bar);
    if (indicator.id == 0) {
      label->setText(ToQt(indicator.sizing));
      bar->addWidget(label, 1);
    } else {
      label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
      label->setAlignment(Qt::AlignCenter);
      label->setFixedWidth(label->fontMetrics().horizontalAdvance(ToQt(indicator.sizing)) + 8);
      bar->addPermanentWidget(label);
    }
    panes_[indicator.id] = Pane{label, indicator.sizing};
  }
  UpdateCommandUi();
  return true;
}

void MdiFrame::SetPaneText(int id, const std::string& text) {
  auto it = panes_.find(id);
  if (it == panes_.end()) return;
  it->second.text = text;
  if (id == 0) {
    it->second.label->setText(ToQt(text));
    return;
  }
  CommandState state = router_.State(id);
  it->second.label->setText(state.enabled ? ToQt(text) : QString());
}

void MdiFrame::PaintPaneNow(int id) {
  auto it = panes_.find(id);
  if (it != panes_.end() && it->second.label->isVisible()) it->second.label->repaint();
}

std::string MdiFrame::PaneText(int id) const {
  auto it = panes_.find(id);
  std::string text;
  if (it != panes_.end()) FromQt(it->second.label->text(), &text);
  return text;
}

void MdiFrame::SaveBarState(const Profile& profile, const std::string& prefix) const {
  for (QToolBar* bar : findChildren<QToolBar*>()) {
    int id = bar->property(kBarIdProperty).toInt();
    if (id == 0) continue;
    profile.WriteInt(BarSection(prefix, id), "Visible", bar->isVisibleTo(this) ? 1 : 0);
    profile.WriteInt(BarSection(prefix, id), "DockArea", static_cast<int>(toolBarArea(bar)));
  }
  if (QStatusBar* bar = findChild<QStatusBar*>()) {
    profile.WriteInt(BarSection(prefix, kStatusBarId), "Visible", bar->isVisibleTo(this) ? 1 : 0);
  }
}

void MdiFrame::LoadBarState(const Profile& profile, const std::string& prefix) {
  for (QToolBar* bar : findChildren<QToolBar*>()) {
    int id = bar->property(kBarIdProperty).toInt();
    if (id == 0) continue;
    int area = profile.GetInt(BarSection(prefix, id), "DockArea", 0);
    if (area == Qt::LeftToolBarArea || area == Qt::RightToolBarArea ||
        area == Qt::TopToolBarArea || area == Qt::BottomToolBarArea) {
      addToolBar(static_cast<Qt::ToolBarArea>(area), bar);
    }
    int visible = profile.GetInt(BarSection(prefix, id), "Visible", -1);
    if (visible == 0 || visible == 1) bar->setVisible(visible == 1);
  }
  if (QStatusBar* bar = findChild<QStatusBar*>()) {
    int visible = profile.GetInt(BarSection(prefix, kStatusBarId), "Visible", -1);
    if (visible == 0 || visible == 1) bar->setVisible(visible == 1);
  }
}

}  // namespace fw
