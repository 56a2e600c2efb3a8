// The document kinds registered at start-up. None of the three windows exists yet:
// the message, folder and tree windows add their factories here.
#include "app/document_kinds.h"

namespace pelldesk {

fw::DocumentKind DocumentKindOf(int) { return {}; }

}  // namespace pelldesk
