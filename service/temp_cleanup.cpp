// The directory is writable by every user: names are looked at without following
// links (a link is removed as a name, never through), and unlinkat removes the name
// itself, never anything it points to.
#include "temp_cleanup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "pellam.h"
#include "platform/errors.h"
#include "queue_file.h"

namespace pellam::service {

size_t RemoveStaleTemporaryFiles(const std::string& directory, std::time_t now, const EventLog& log) {
  std::vector<std::string> names;
  if (const uint32_t code = ListQueue(directory, "*.tmp", &names)) {
    log.Report(EVT_FILE_SEARCH, directory + "*.tmp", "", code);
    return 0;
  }
  const int dir = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (dir < 0) return 0;
  size_t removed = 0;
  for (const std::string& name : names) {
    struct stat st{};
    if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || S_ISDIR(st.st_mode)) continue;
    if (now - st.st_mtime < kStaleTemporaryAge) continue;
    if (::unlinkat(dir, name.c_str(), 0) != 0) {
      log.Report(EVT_FILE_DELETE, directory + name, "", platform::FromErrno(errno));
      continue;
    }
    ++removed;
    log.Note("Removed the stale temporary file " + directory + name + ": " + std::to_string(st.st_size) +
             " bytes of uid " + std::to_string(st.st_uid) + ", unchanged for " +
             std::to_string((now - st.st_mtime) / 3600) + " hours.");
  }
  ::close(dir);
  return removed;
}

}  // namespace pellam::service
