// The message window kind.
#include "message/message_kind.h"

#include "message/msg_doc.h"
#include "message/msg_view.h"

namespace pelldesk {

fw::DocumentKind MessageDocumentKind() {
  return {[] { return std::make_unique<CMsgDoc>(); }, {}, [] { return new CMsgView; }};
}

}  // namespace pelldesk
