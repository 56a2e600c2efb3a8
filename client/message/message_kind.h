// The classes of the message window kind (template 129): CMsgDoc in a plain child
// frame with CMsgView.
#pragma once

#include "app/client_services.h"
#include "framework/doc_template.h"

namespace pelldesk {

fw::DocumentKind MessageDocumentKind(const ClientServices& services);

}  // namespace pelldesk
