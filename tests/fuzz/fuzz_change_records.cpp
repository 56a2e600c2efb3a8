// Fuzzes the decoder of the kernel's change records behind the platform's change
// notifications. Checked: it never reads past the buffer, reports no more changes than
// whole records fit, names are never empty and hold no NUL, the watched directories
// only ever shrink, and a directory reported moved away was one being watched.
#include <sys/inotify.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "platform/change_notify.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::map<int, std::string> watched = {{1, "/mail/new"}, {2, "/mail"}, {-1, "/odd"}};
  std::map<int, std::string> dirs = watched;
  std::vector<platform::DirChange> changes;
  std::vector<int> moved;
  bool lost = false;
  // A copy of exactly `size` bytes, so that the sanitizer sees any read beyond them.
  const std::vector<char> buffer(data, data + size);
  platform::DecodeChangeRecords(buffer.data(), buffer.size(), &dirs, &changes, &lost, &moved);
  FUZZ_CHECK(changes.size() <= size / sizeof(inotify_event));
  for (const platform::DirChange& change : changes) {
    FUZZ_CHECK(!change.name.empty());
    FUZZ_CHECK(change.name.find('\0') == std::string::npos);
    FUZZ_CHECK(change.name.size() < size);
    bool known = change.dir.empty();
    for (const auto& [wd, dir] : watched) known = known || change.dir == dir;
    FUZZ_CHECK(known);
  }
  for (const auto& [wd, dir] : dirs) FUZZ_CHECK(watched.count(wd) == 1 && watched.at(wd) == dir);
  for (int wd : moved) FUZZ_CHECK(watched.count(wd) == 1 && dirs.count(wd) == 0);
  return 0;
}
