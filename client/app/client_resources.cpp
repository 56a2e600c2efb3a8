// Registration of the compiled resources (Q_INIT_RESOURCE must stand outside any
// namespace).
#include "app/client_resources.h"

#include <QtCore/qglobal.h>

static void RegisterPelldeskResources() { Q_INIT_RESOURCE(pelldesk); }

namespace pelldesk {

void InitClientResources() {
  static const bool registered = (RegisterPelldeskResources(), true);
  (void)registered;
}

}  // namespace pelldesk
