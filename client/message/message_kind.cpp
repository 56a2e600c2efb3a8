// The message window kind.
#include "message/message_kind.h"

#include "message/msg_doc.h"
#include "message/msg_view.h"

namespace pelldesk {

fw::DocumentKind MessageDocumentKind(const ClientServices& services) {
  return {[services] { return std::make_unique<CMsgDoc>(services); }, {},
          [services] { return new CMsgView(services); }};
}

}  // namespace pelldesk
