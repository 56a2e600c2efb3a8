// SendMailMessageFromFile: a prepared message in a file. The header section is read
// in rounds into a buffer that grows (by 1024 bytes, then by doubling) whenever an
// unfinished line fills it, the collector keeping its current header between rounds;
// the rest of the file is then copied as the text, from the first byte after the
// empty line. The buffer stops growing at the largest control file that could be
// posted: a file that never ends its header section (a device of endless bytes)
// fails there, not at 4 GiB.
#include <algorithm>
#include <cstring>

#include "compose/control_file_format.h"
#include "frame/export_barrier.h"
#include "platform/files.h"
#include "sendmail/one_shot.h"

namespace pellam {
namespace {

constexpr uint32_t kReadRound = 1024;

// A buffer of library memory, released on scope exit.
struct ReadBuffer {
  char* data = nullptr;
  uint32_t capacity = 0;
  uint32_t used = 0;
  ReadBuffer() = default;
  ReadBuffer(const ReadBuffer&) = delete;
  ReadBuffer& operator=(const ReadBuffer&) = delete;
  ~ReadBuffer() { FreeMem(data); }

  // Rounds of 1024 bytes at first; a line that keeps growing doubles the buffer, so
  // that a long one costs a few copies rather than one per kilobyte.
  bool Grow() {
    if (capacity >= control::kMaxControlFileSize) return false;
    const uint32_t wanted = std::min(std::max(capacity + kReadRound, capacity * 2), control::kMaxControlFileSize);
    auto* grown = static_cast<char*>(ReallocMem(data, wanted));
    if (grown == nullptr) return false;
    data = grown;
    capacity = wanted;
    return true;
  }
};

// Reads and collects the header section. On success `*unread` is the number of
// bytes read past the empty line.
Status ReadHeaderSection(int file, CollectedHeaders* headers, uint32_t* unread) {
  ReadBuffer buffer;
  int32_t current = -1;
  for (;;) {
    if (buffer.used == buffer.capacity && !buffer.Grow()) return Status(ERR_HEADER_TOO_LARGE);
    uint32_t done = 0;
    if (!platform::ReadFile(file, buffer.data + buffer.used, buffer.capacity - buffer.used, &done)) {
      return LastError();
    }
    if (done == 0) return Status(ERROR_HANDLE_EOF);  // no complete header section
    const char* fresh = buffer.data + buffer.used;
    buffer.used += done;
    // The buffer starts with an unfinished line: until a line feed arrives the
    // collector would consume nothing, so a long line costs no repeated scans.
    if (std::memchr(fresh, '\n', done) == nullptr) continue;
    const char* stop = buffer.data;
    const uint32_t code = CollectHeaders(buffer.data, buffer.used, kOneShotHeaders, kOneShotHeaderNames,
                                         headers->values, &current, &stop);
    const auto consumed = static_cast<uint32_t>(stop - buffer.data);
    if (code == 0) {
      *unread = buffer.used - consumed;
      return Status();
    }
    if (code != ERROR_MORE_DATA) return Status(code);
    std::memmove(buffer.data, stop, buffer.used - consumed);
    buffer.used -= consumed;
  }
}

Status SendFile(const char* file_name) {
  if (file_name == nullptr) return Status(ERROR_INVALID_PARAMETER);
  platform::UniqueFile file(platform::CreateFile(file_name, platform::kRead, platform::kShareRead,
                                                 platform::kOpenExisting));
  if (!file) return LastError();
  CollectedHeaders headers;
  uint32_t unread = 0;
  if (Status s = ReadHeaderSection(file.get(), &headers, &unread); !s.ok()) return s;
  // Back to the first byte of the text.
  if (!platform::SetFilePointer(file.get(), -int64_t{unread}, platform::kCurrent)) return LastError();
  return ComposeAndPost(headers, [&](MailHandle message) { return AddTextFile(message, file.get(), 0xFFFFFFFF); });
}

}  // namespace
}  // namespace pellam

extern "C" PELLAM_API uint32_t SendMailMessageFromFile(const char* file_name) {
  return pellam::ReportingBarrier([&] { return pellam::SendFile(file_name); });
}
