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

uint32_t MessagePosition(const MailMessage* m, uint32_t* offset) {
  int64_t position = 0;
  if (!platform::SetFilePointer(m->file, 0, platform::kCurrent, &position)) return platform::GetLastError();
  if (position < 0 || position > int64_t{UINT32_MAX}) return ERR_API_INTERNAL;
  *offset = static_cast<uint32_t>(position);
  return 0;
}

uint32_t WriteToMessage(MailMessage* m, const void* data, size_t size, uint32_t too_large) {
  uint32_t position = 0;
  if (uint32_t code = MessagePosition(m, &position)) return code;
  if (position > control::kMaxControlFileSize || size > control::kMaxControlFileSize - position) return too_large;
  if (size == 0) return 0;
  if (!platform::WriteFile(m->file, data, static_cast<uint32_t>(size))) return platform::GetLastError();
  return 0;
}

uint32_t CopyIntoMessage(MailMessage* m, int source, uint32_t count, uint32_t too_large,
                         uint32_t* copied) {
  const bool to_end = count == 0xFFFFFFFF;
  *copied = 0;
  char chunk[kCopyChunk];
  while (to_end || *copied < count) {
    const uint32_t want = to_end ? kCopyChunk : std::min(kCopyChunk, count - *copied);
    uint32_t got = 0;
    if (!platform::ReadFile(source, chunk, want, &got)) return platform::GetLastError();
    if (got == 0) break;
    if (uint32_t code = WriteToMessage(m, chunk, got, too_large)) return code;
    *copied += got;  // cannot wrap: the write above kept the whole file below 4 GiB
  }
  return 0;
}

}  // namespace pellam
