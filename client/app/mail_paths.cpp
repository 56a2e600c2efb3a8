// Mailbox path helpers over the platform's directory search.
#include "app/mail_paths.h"

#include "pellam_mailbox.h"
#include "platform/files.h"
#include "platform/find.h"

namespace pelldesk {
namespace {

bool AnyMatch(const std::string& pattern, bool directories_only) {
  platform::FindData data{};
  platform::FindHandle handle = platform::FindFirstFile(pattern.c_str(), &data);
  if (handle == nullptr) return false;
  bool found = false;
  do {
    if (!directories_only) {
      found = true;
    } else if ((data.attributes & platform::kAttrDirectory) != 0 && data.name[0] != '.') {
      found = true;
    }
  } while (!found && platform::FindNextFile(handle, &data));
  platform::FindClose(handle);
  return found;
}

}  // namespace

bool TrimPathSeparators(const std::string& path, std::string* result) {
  result->clear();
  if (path.size() > kMaxPathLength) return false;
  std::size_t end = path.size();
  while (end > 0 && (path[end - 1] == '/' || path[end - 1] == '\\')) --end;
  result->assign(path, 0, end);
  return true;
}

bool IsFolderEmpty(const std::string& path) {
  std::string dir = path;
  if (dir.empty() || dir.back() != '/') dir += '/';
  if (AnyMatch(dir + pellam::mailbox::kMessageFiles, false)) return false;
  return !AnyMatch(dir + "*.", true);
}

}  // namespace pelldesk
