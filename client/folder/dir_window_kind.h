// The folder window's factories for template 130: CDirDoc in a CDirFrame with a CDirView.
#pragma once

#include "app/client_services.h"
#include "framework/doc_template.h"

namespace pelldesk {

fw::DocumentKind DirDocumentKind(const ClientServices& services);

}  // namespace pelldesk
