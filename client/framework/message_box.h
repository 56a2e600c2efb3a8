// Message boxes that return the button chosen, through one replaceable function, so
// that a test can answer them with a recorder. Styles and answers keep the numbers the
// client's callers pass and compare.
#pragma once

#include <functional>
#include <string>

namespace fw {

// Buttons.
inline constexpr unsigned MB_OK = 0x00;
inline constexpr unsigned MB_OKCANCEL = 0x01;
inline constexpr unsigned MB_ABORTRETRYIGNORE = 0x02;
inline constexpr unsigned MB_YESNOCANCEL = 0x03;
inline constexpr unsigned MB_YESNO = 0x04;
inline constexpr unsigned MB_RETRYCANCEL = 0x05;
inline constexpr unsigned MB_TYPEMASK = 0x0F;
// Icons.
inline constexpr unsigned MB_ICONSTOP = 0x10;
inline constexpr unsigned MB_ICONQUESTION = 0x20;
inline constexpr unsigned MB_ICONEXCLAMATION = 0x30;
inline constexpr unsigned MB_ICONINFORMATION = 0x40;
inline constexpr unsigned MB_ICONMASK = 0xF0;

// Answers; 0 when no box could be shown.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDIGNORE = 5;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// `text` is ISO-8859-1. The function always runs on the user-interface thread.
using MessageBoxFunction = std::function<int(const std::string& text, unsigned style)>;

// Shows a box captioned with the application's name and returns the button chosen.
// From another thread the box is shown by the user-interface thread while the caller
// waits; after the end of the run has begun, such a call returns 0 at once.
int ShowMessageBox(const std::string& text, unsigned style);

// Replaces the function behind ShowMessageBox; an empty function restores the Qt box.
// Returns the previous replacement (empty when it was the Qt box).
MessageBoxFunction SetMessageBoxFunction(MessageBoxFunction fn);

// The Qt box itself.
int QtMessageBox(const std::string& text, unsigned style);

}  // namespace fw
