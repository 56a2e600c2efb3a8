// Writes and copies into the control file, each checked against the size the service
// accepts (well inside the 32-bit offsets the file's items can hold).
#include "compose/message_file.h"

#include <algorithm>

#include "compose/control_file_format.h"
#include "platform/errors.h"
#include "platform/files.h"

namespace pellam {
namespace {

constexpr uint32_t kCopyChunk = 1024;

}  // namespace

Status MessagePosition(const MailMessage* m, uint32_t* offset) {
  int64_t position = 0;
  if (!platform::SetFilePointer(m->file, 0, platform::kCurrent, &position)) return LastError();
  if (position < 0 || position > int64_t{UINT32_MAX}) return Status(ERR_API_INTERNAL);
  *offset = static_cast<uint32_t>(position);
  return Status();
}

Status WriteToMessage(MailMessage* m, const void* data, size_t size, uint32_t too_large) {
  uint32_t position = 0;
  if (Status s = MessagePosition(m, &position); !s.ok()) return s;
  if (position > control::kMaxControlFileSize || size > control::kMaxControlFileSize - position) {
    return Status(too_large);
  }
  if (size == 0) return Status();
  if (!platform::WriteFile(m->file, data, static_cast<uint32_t>(size))) return LastError();
  return Status();
}

Status CopyIntoMessage(MailMessage* m, int source, uint32_t count, uint32_t too_large,
                         uint32_t* copied) {
  const bool to_end = count == 0xFFFFFFFF;
  *copied = 0;
  char chunk[kCopyChunk];
  while (to_end || *copied < count) {
    const uint32_t want = to_end ? kCopyChunk : std::min(kCopyChunk, count - *copied);
    uint32_t got = 0;
    if (!platform::ReadFile(source, chunk, want, &got)) return LastError();
    if (got == 0) break;
    if (Status s = WriteToMessage(m, chunk, got, too_large); !s.ok()) return s;
    *copied += got;  // cannot wrap: the write above kept the whole file below 4 GiB
  }
  return Status();
}

}  // namespace pellam
