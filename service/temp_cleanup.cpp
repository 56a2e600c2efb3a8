// The directory is writable by every user: names are looked at without following
// links (a link is removed as a name, never through), and a delete removes the name
// itself, never anything it points to.
#include "temp_cleanup.h"

#include <sys/stat.h>

#include <vector>

#include "pellam.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "queue_file.h"

namespace pellam::service {

size_t RemoveStaleTemporaryFiles(const std::string& directory, std::time_t now, const EventLog& log) {
  std::vector<std::string> names;
  if (const uint32_t code = ListQueue(directory, "*.tmp", &names)) {
    log.Report(EVT_FILE_SEARCH, directory + "*.tmp", "", code);
    return 0;
  }
  // The directory itself is taken as it stands, never through a link put in its place.
  std::string itself = directory;
  while (itself.size() > 1 && itself.back() == '/') itself.pop_back();
  platform::FileFacts facts;
  if (platform::LookAtName(itself.c_str(), &facts) != 0 || !S_ISDIR(facts.mode)) return 0;
  size_t removed = 0;
  for (const std::string& name : names) {
    const std::string path = directory + name;
    if (platform::LookAtName(path.c_str(), &facts) != 0 || S_ISDIR(facts.mode)) continue;
    if (now - facts.modified < kStaleTemporaryAge) continue;
    if (!platform::DeleteFile(path.c_str())) {
      log.Report(EVT_FILE_DELETE, path, "", platform::GetLastError());
      continue;
    }
    ++removed;
    log.Note("Removed the stale temporary file " + path + ": " + std::to_string(facts.size) + " bytes of uid " +
             std::to_string(facts.owner) + ", unchanged for " + std::to_string((now - facts.modified) / 3600) +
             " hours.");
  }
  return removed;
}

}  // namespace pellam::service
