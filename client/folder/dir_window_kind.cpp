// The folder window's factories.
#include "folder/dir_window_kind.h"

#include "folder/dir_doc.h"
#include "folder/dir_frame.h"
#include "folder/dir_view.h"

namespace pelldesk {

fw::DocumentKind DirDocumentKind(const ClientServices& services) {
  return {[services] { return std::make_unique<CDirDoc>(services); },
          [services] { return new CDirFrame(services.settings->columnHeaders()); },
          [services] { return new CDirView(services); }};
}

}  // namespace pelldesk
