// The classes of the message window kind (template 129): CMsgDoc in a plain child
// frame with CMsgView.
#pragma once

#include "framework/doc_template.h"

namespace pelldesk {

fw::DocumentKind MessageDocumentKind();

}  // namespace pelldesk
