// The document kinds registered at start-up. Each window kind adds its factories here
// as it is built; a kind not listed opens no window.
#include "app/document_kinds.h"

#include "app/resource_ids.h"
#include "folder/dir_window_kind.h"
#include "message/message_kind.h"
#include "tree/tree_kind.h"

namespace pelldesk {

fw::DocumentKind DocumentKindOf(int template_id, const ClientServices& services) {
  switch (template_id) {
    case kMessageTemplateId: return MessageDocumentKind(services);
    case kFolderTemplateId: return DirDocumentKind(services);
    case kTreeTemplateId: return TreeDocumentKind(services);
    default: return {};
  }
}

}  // namespace pelldesk
