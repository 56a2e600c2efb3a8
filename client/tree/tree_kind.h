// The classes of the folder tree window (template 131): CTreeDoc in a plain child
// frame with CTreeView.
#pragma once

#include "framework/doc_template.h"

namespace pelldesk {

fw::DocumentKind TreeDocumentKind();

}  // namespace pelldesk
