// Expanding an address list into address records: alias names are replaced by their
// translations and "@file" tokens by the addresses in the file, each nested at most
// seven deep (a loop of aliases ends in ERR_TOO_MANY_LEVELS). The tokens of the
// caller's own list are collected for the To or Cc header line.
#pragma once

#include <cstdint>

#include "compose/message_handle.h"
#include "frame/status.h"

namespace pellam {

// Expands the caller's `list` (NUL-terminated) for address kind `kind`: 0 or the code
// that ended the expansion. Records written before a failure stay in the file, which
// the failed handle never posts. The alias stores are read once for the whole list,
// when its first local name is looked up.
Status ExpandAddressList(MailMessage* message, const char* list, int32_t kind);

// Reads a distribution list file whole into a NUL-terminated block of library
// memory: 0, ERR_LIST_OPEN or ERR_LIST_READ.
Status ReadDistributionList(const char* file_name, char** text);

}  // namespace pellam
