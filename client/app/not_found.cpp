// The beep and the status-bar message of a search without a match.
#include "app/not_found.h"

#include <QApplication>
#include <QStatusBar>

#include "framework/application.h"
#include "framework/mdi_frame.h"

namespace pelldesk {

QString NotFoundText(const QString& what) {
  constexpr qsizetype kShown = 60;
  const QString shown = what.size() > kShown ? what.left(kShown - 1) + QChar(0x2026) : what;
  return QStringLiteral("Cannot find \"%1\".").arg(shown);
}

void SignalNotFound(const QString& what) {
  QApplication::beep();
  fw::Application* app = fw::Application::Instance();
  fw::MdiFrame* frame = app != nullptr ? app->mainFrame() : nullptr;
  if (frame != nullptr) frame->statusBar()->showMessage(NotFoundText(what), 5000);
}

}  // namespace pelldesk
