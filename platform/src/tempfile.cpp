// Unique temporary files: prefix + four upper-case hex digits + ".tmp", created with
// O_EXCL so that the name is ours alone. The numbers tried come from one sequence per
// process that starts at a place of its own (from the process id and the clock), so
// that processes and threads creating many files in one directory rarely meet.
#include "platform/tempfile.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "platform/errors.h"
#include "platform/fault.h"
#include "platform/paths.h"
#include "retry.h"

namespace platform {
namespace {

constexpr uint32_t kNumbers = 0xFFFF;  // 1 to 0xFFFF

uint32_t ClockSeed() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint32_t>(now.tv_nsec) ^ static_cast<uint32_t>(now.tv_sec);
}

std::atomic<uint64_t> g_sequence{ClockSeed()};  // 64 bits: never wraps in practice

// The next number to try. The process id is mixed in at every call, so a child
// forked after its parent used the sequence still starts elsewhere.
uint32_t NextNumber() {
  uint64_t spread = static_cast<uint32_t>(::getpid()) * 2654435761u;
  return static_cast<uint32_t>((spread + g_sequence.fetch_add(1, std::memory_order_relaxed)) % kNumbers) + 1;
}

}  // namespace

uint32_t GetTempFileName(const char* directory, const char* prefix, char* out) noexcept {
  if (uint32_t c = fault::Check(fault::Op::TempName)) {
    Fail(c);
    return 0;
  }
  if (directory == nullptr || out == nullptr) {
    Fail(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (prefix == nullptr) prefix = "";
  const std::size_t dir_length = std::strlen(directory);
  const bool add_slash = dir_length > 0 && directory[dir_length - 1] != '/';
  const std::size_t prefix_length = ::strnlen(prefix, 3);
  const std::size_t number_at = dir_length + (add_slash ? 1 : 0) + prefix_length;
  if (number_at + sizeof "XXXX.tmp" > kMaxPath) {
    Fail(ERROR_BUFFER_OVERFLOW);
    return 0;
  }
  char name[kMaxPath];
  std::memcpy(name, directory, dir_length);
  if (add_slash) name[dir_length] = '/';
  std::memcpy(name + number_at - prefix_length, prefix, prefix_length);

  for (uint32_t attempt = 0; attempt < kNumbers; ++attempt) {
    const uint32_t number = NextNumber();
    std::snprintf(name + number_at, sizeof "XXXX.tmp", "%04X.tmp", static_cast<unsigned>(number));
    int fd = RetryOnEintr([&] {
      return ::open(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0600);
    });
    if (fd >= 0) {
      ::close(fd);
      std::memcpy(out, name, number_at + sizeof "XXXX.tmp");
      return number;
    }
    if (errno != EEXIST) {
      FailWithErrno(name);
      return 0;
    }
  }
  Fail(ERROR_FILE_EXISTS);
  return 0;
}

}  // namespace platform
