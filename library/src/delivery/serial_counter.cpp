// Taking a folder's next message number from "#serial.dat". The counter only spreads
// the numbers out; uniqueness rests on the placement refusing an existing target, so
// a lost or damaged counter costs a rebuild from the names, never a replaced message.
#include "delivery/serial_counter.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <charconv>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "frame/export_barrier.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/find.h"
#include "platform/paths.h"

namespace pellam::delivery {
namespace {

std::atomic<uint32_t> g_wait_interval_ms{250};
std::atomic<uint32_t> g_wait_limit_ms{20000};

// The counter's text as a number: false for nothing, no digits, a number out of range
// or a negative one, each of which asks for a rebuild. Blanks before the number and a
// "+" sign are allowed, and text after it is ignored.
bool ParseCounter(const char* text, uint32_t* number) {
  while (std::isspace(static_cast<unsigned char>(*text))) ++text;
  if (*text == '+' && std::isdigit(static_cast<unsigned char>(text[1]))) ++text;
  long long value = 0;
  const auto [end, error] = std::from_chars(text, text + std::strlen(text), value);
  if (error != std::errc() || end == text || value < 0 || value > INT_MAX) return false;
  *number = static_cast<uint32_t>(value);
  return true;
}

// The last run of decimal digits in a name, or 0 when it has none.
uint32_t LastDigitRun(const char* name) {
  const char* end = name + std::strlen(name);
  while (end > name && !std::isdigit(static_cast<unsigned char>(end[-1]))) --end;
  const char* begin = end;
  while (begin > name && std::isdigit(static_cast<unsigned char>(begin[-1]))) --begin;
  uint32_t value = 0;
  // Any run above the highest number counts alike; the cap keeps the sum from overflowing.
  for (const char* p = begin; p < end && value <= kHighestNumber; ++p) {
    value = value * 10 + static_cast<uint32_t>(*p - '0');
  }
  return value;
}

// The highest number among the folder's "msg????.mai" names; 0 when there is none.
uint32_t HighestFileNumber(const std::string& folder, uint32_t* highest) {
  *highest = 0;
  const std::string pattern = folder + kNumberedMessages;
  platform::FindData data{};
  platform::FindHandle search = platform::FindFirstFile(pattern.c_str(), &data);
  if (search == nullptr) {
    const uint32_t code = platform::GetLastError();
    return code == ERROR_FILE_NOT_FOUND ? 0 : code;
  }
  uint32_t result = 0;
  do {
    const uint32_t n = LastDigitRun(data.name);
    if (n > *highest) *highest = n;
  } while (platform::FindNextFile(search, &data));
  if (const uint32_t code = platform::GetLastError(); code != ERROR_NO_MORE_FILES) result = code;
  platform::FindClose(search);
  return result;
}

// Opens the counter with no sharing, waiting out others that hold it.
uint32_t OpenCounter(const std::string& path, platform::UniqueFile* file) {
  const uint32_t interval = g_wait_interval_ms.load();
  const uint32_t limit = g_wait_limit_ms.load();
  uint32_t waited = 0;
  for (;;) {
    file->reset(platform::CreateFile(path.c_str(), platform::kReadWrite, platform::kShareNone,
                                     platform::kOpenAlways));
    if (*file) return 0;
    const uint32_t code = platform::GetLastError();
    if (code != ERROR_SHARING_VIOLATION || waited >= limit) return code;
    std::this_thread::sleep_for(std::chrono::milliseconds(interval));
    waited += interval == 0 ? 1 : interval;
  }
}

}  // namespace

void SetCounterWait(uint32_t interval_ms, uint32_t limit_ms) noexcept {
  g_wait_interval_ms.store(interval_ms);
  g_wait_limit_ms.store(limit_ms);
}

uint32_t TakeMessageNumber(const char* folder, uint32_t* number) noexcept {
  uint32_t taken = 0;
  return TakeMessageNumbers(folder, 1, number, &taken);
}

uint32_t TakeMessageNumbers(const char* folder, uint32_t wanted, uint32_t* first, uint32_t* taken) noexcept {
  try {
    if (wanted == 0) wanted = 1;
    const std::string folder_path(folder);
    if (folder_path.size() + sizeof kCounterName - 1 >= platform::kMaxPath) return ERROR_BUFFER_OVERFLOW;
    const std::string path = folder_path + kCounterName;

    platform::UniqueFile file;
    if (const uint32_t code = OpenCounter(path, &file)) return code;

    char text[16] = {};
    uint32_t got = 0;
    if (!platform::ReadFile(file.get(), text, 15, &got)) return platform::GetLastError();
    text[got] = '\0';
    uint32_t last = 0;
    if (!ParseCounter(text, &last)) {
      if (const uint32_t code = HighestFileNumber(folder_path, &last)) return code;
    }
    const uint32_t next = last >= kHighestNumber ? 1 : last + 1;
    const uint32_t count = std::min(wanted, kHighestNumber - next + 1);
    const uint32_t end = next + count - 1;

    char line[16];
    const int length = std::snprintf(line, sizeof line, "%u\r\n", end);
    if (!platform::SetFilePointer(file.get(), 0, platform::kBegin) ||
        !platform::WriteFile(file.get(), line, static_cast<uint32_t>(length)) ||
        !platform::SetEndOfFile(file.get())) {
      return platform::GetLastError();
    }
    // A close that fails is reported: the caller must not trust a number whose
    // counter may not have been written.
    if (!platform::CloseFile(file.release())) return platform::GetLastError();
    *first = next;
    *taken = count;
    return 0;
  } catch (...) {
    return CodeOfCaughtException();
  }
}

}  // namespace pellam::delivery
