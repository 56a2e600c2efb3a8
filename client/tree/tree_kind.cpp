// The folder tree window's factories.
#include "tree/tree_kind.h"

#include "tree/tree_doc.h"
#include "tree/tree_view.h"

namespace pelldesk {

fw::DocumentKind TreeDocumentKind(const ClientServices& services) {
  return {[services] { return std::make_unique<CTreeDoc>(services); }, {},
          [services] { return new CTreeView(services); }};
}

}  // namespace pelldesk
