// A search that finds nothing: the beep alone says nothing on a machine without sound
// (or with it turned down), so the main frame's status bar says so for a few seconds.
#pragma once

#include <QString>

namespace pelldesk {

// "Cannot find "<what>"." (a long text cut with an ellipsis).
QString NotFoundText(const QString& what);

// Beeps and shows NotFoundText in the main frame's status bar, when there is one.
void SignalNotFound(const QString& what);

}  // namespace pelldesk
