// The classes behind the three kinds of child window (message 129, folder 130, folder
// tree 131). Each window kind plugs its document, frame and view in here as it is
// built; a kind without classes opens no window, and its commands show disabled. Every
// document, frame and view of a kind is given `services`.
#pragma once

#include "app/client_services.h"
#include "framework/doc_template.h"

namespace pelldesk {

fw::DocumentKind DocumentKindOf(int template_id, const ClientServices& services);

}  // namespace pelldesk
