// The folder window's factories.
#include "folder/dir_window_kind.h"

#include "folder/dir_doc.h"
#include "folder/dir_frame.h"
#include "folder/dir_view.h"

namespace pelldesk {

fw::DocumentKind DirDocumentKind() {
  return {[] { return std::make_unique<CDirDoc>(); }, [] { return new CDirFrame; }, [] { return new CDirView; }};
}

}  // namespace pelldesk
