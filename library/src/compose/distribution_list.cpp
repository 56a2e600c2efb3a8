// Distribution lists: files named by "@" in an address list, read whole. Whatever
// goes wrong is reported as the list's fault: it could not be opened or not be read.
#include <limits>

#include "compose/address_expansion.h"
#include "platform/files.h"

namespace pellam {

Status ReadDistributionList(const char* file_name, char** text) {
  *text = nullptr;
  platform::UniqueFile file(platform::CreateFile(file_name, platform::kRead, platform::kShareRead,
                                                 platform::kOpenExisting));
  if (!file) return Status(ERR_LIST_OPEN);
  uint64_t size = 0;
  if (!platform::GetFileSize(file.get(), &size) || size >= std::numeric_limits<uint32_t>::max()) {
    return Status(ERR_LIST_READ);
  }
  const auto length = static_cast<uint32_t>(size);
  auto* buffer = static_cast<char*>(AllocMem(length + 1));
  if (buffer == nullptr) return Status(ERR_LIST_READ);
  uint32_t total = 0;
  while (total < length) {
    uint32_t done = 0;
    if (!platform::ReadFile(file.get(), buffer + total, length - total, &done) || done == 0) {
      FreeMem(buffer);
      return Status(ERR_LIST_READ);
    }
    total += done;
  }
  buffer[length] = '\0';
  *text = buffer;
  return Status();
}

}  // namespace pellam
