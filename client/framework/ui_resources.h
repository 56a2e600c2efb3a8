// The resource tables a main frame is built from: every command with its menu text and
// prompt, the accelerator table, and the menus by id. They are data, so that the
// client states them once and the framework turns them into actions and menus.
#pragma once

#include <vector>

namespace fw {

struct CommandInfo {
  int id;
  const char* menuText;  // "&New...\tCtrl+N": the text after the tab is the key shown
  const char* prompt;    // "status-bar prompt\ntool tip", or null
};

struct Accelerator {
  const char* keys;  // in Qt's portable key notation: "Ctrl+N", "Alt+Del", "Shift+F12"
  int id;
};

struct Popup {
  const char* title;
  std::vector<int> items;  // command ids; 0 is a separator
  bool windowList = false;  // lists the open child windows at its end
};

struct MenuDef {
  int id;
  std::vector<Popup> popups;
};

struct Indicator {
  int id;              // 0: the stretching pane of prompts and the idle text
  const char* sizing;  // the pane is as wide as this text; also its first text
};

struct UiResources {
  std::vector<CommandInfo> commands;
  std::vector<Accelerator> accelerators;
  std::vector<MenuDef> menus;
};

}  // namespace fw
