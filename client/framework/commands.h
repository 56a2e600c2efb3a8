// Command and window identifiers that the framework itself owns. Windows of the client
// and the framework speak of commands by these numbers, so they keep the values that
// menus, tool bars and accelerators were first laid out with.
#pragma once

namespace fw {

// File.
inline constexpr int kFileNew = 57600;
inline constexpr int kFileOpen = 57601;
inline constexpr int kFileClose = 57602;
inline constexpr int kFileSave = 57603;
inline constexpr int kFileSaveAs = 57604;
inline constexpr int kFilePrintSetup = 57606;
inline constexpr int kFilePrint = 57607;
inline constexpr int kFilePrintPreview = 57608;

// Edit and search.
inline constexpr int kEditClear = 57632;
inline constexpr int kEditCopy = 57634;
inline constexpr int kEditCut = 57635;
inline constexpr int kEditFind = 57636;
inline constexpr int kEditPaste = 57637;
inline constexpr int kEditRepeat = 57640;  // Find Next
inline constexpr int kEditReplace = 57641;
inline constexpr int kEditSelectAll = 57642;
inline constexpr int kEditUndo = 57643;

// Window.
inline constexpr int kWindowArrange = 57649;
inline constexpr int kWindowCascade = 57650;
inline constexpr int kWindowTileHorizontal = 57651;
inline constexpr int kWindowTileVertical = 57652;

// Application.
inline constexpr int kAppAbout = 57664;
inline constexpr int kAppExit = 57665;

// Panes of a split window.
inline constexpr int kNextPane = 57680;
inline constexpr int kPreviousPane = 57681;

// Status-bar indicators.
inline constexpr int kIndicatorCaps = 59137;
inline constexpr int kIndicatorNum = 59138;
inline constexpr int kIndicatorScroll = 59139;

// Bars: the standard tool bar and status bar, toggled from the View menu by these ids.
inline constexpr int kToolBarId = 59392;
inline constexpr int kStatusBarId = 59393;

// The string id of the application's name (captions of message boxes).
inline constexpr int kAppNameString = 57344;

}  // namespace fw
