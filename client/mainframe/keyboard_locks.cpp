// Lock indicators through XKB. X11's headers define macros that clash with Qt's names,
// so they come last and this file uses nothing else of Qt.
#include "mainframe/keyboard_locks.h"

#include <QGuiApplication>

#if defined(PELLDESK_HAVE_X11) && QT_CONFIG(xcb)
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#endif

namespace pelldesk {

bool IsKeyboardLockOn(KeyboardLock lock) {
#if defined(PELLDESK_HAVE_X11) && QT_CONFIG(xcb)
  auto* x11 = qApp != nullptr ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  Display* display = x11 != nullptr ? x11->display() : nullptr;
  if (display == nullptr) return false;
  // The atoms are looked up once: the panes ask at every refresh of the commands.
  static const char* const names[] = {"Caps Lock", "Num Lock", "Scroll Lock"};
  static Atom atoms[3] = {0, 0, 0};
  Atom& atom = atoms[static_cast<int>(lock)];
  if (atom == 0) atom = XInternAtom(display, names[static_cast<int>(lock)], True);
  Bool on = False;
  if (atom == 0 || !XkbGetNamedIndicator(display, atom, nullptr, &on, nullptr, nullptr)) return false;
  return on != False;
#else
  (void)lock;
  return false;
#endif
}

}  // namespace pelldesk
