// Delivering many files into one user's "new" folder at once: each placed as
// DeliverMail places one, the folder flushed once after all of them. For the
// service's batches; part of the library's private interface, declared in no
// installed header.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "frame/private_api.h"
#include "pellam.h"

namespace pellam::delivery {

struct FileDelivery {
  uint32_t code = 0;   // 0: the file stands in "new" and the folder is on disk
  bool moved = false;  // moved (true) or copied (false: the source is still there)
};

// Places every file of `sources` into the "new" folder of `profile`, in order, and then
// flushes the folder once. A file whose placement failed gets its code; should the
// flush fail, every placed file gets the flush's code, since none of them is known to
// survive a crash.
PELLAM_PRIVATE std::vector<FileDelivery> DeliverMailFiles(const std::vector<std::string>& sources, const MailProfile& profile);

}  // namespace pellam::delivery
