// The classes of the folder tree window (template 131): CTreeDoc in a plain child
// frame with CTreeView.
#pragma once

#include "app/client_services.h"
#include "framework/doc_template.h"

namespace pelldesk {

fw::DocumentKind TreeDocumentKind(const ClientServices& services);

}  // namespace pelldesk
