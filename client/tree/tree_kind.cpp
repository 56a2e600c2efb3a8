// The folder tree window's factories.
#include "tree/tree_kind.h"

#include "tree/tree_doc.h"
#include "tree/tree_view.h"

namespace pelldesk {

fw::DocumentKind TreeDocumentKind() {
  return {[] { return std::make_unique<CTreeDoc>(); }, {}, [] { return new CTreeView; }};
}

}  // namespace pelldesk
