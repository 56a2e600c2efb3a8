// The directory proposals. Paths are compared byte for byte: on this system letter
// case tells names apart, so "/Mail" and "/mail" share nothing.
#include "proposals.h"

#include "platform/paths.h"

namespace setup {

RootFound FindSystemRoot(const std::string& sandbox_root, const std::string& current_dir,
                         std::string* root) {
  if (sandbox_root.size() >= 256) return RootFound::kTooLong;
  std::string found = sandbox_root;
  if (found.empty() || found.front() != '/') {
    if (!found.empty() && current_dir.empty()) return RootFound::kUndetermined;
    found = found.empty() ? "" : current_dir + found;
  }
  found = WithTrailingSeparator(found);
  if (found.size() >= 256) return RootFound::kTooLong;
  *root = found;
  return RootFound::kFound;
}

std::string ProgramDirectoryOf(const std::string& program) {
  char full[platform::kMaxPath];
  char* name = nullptr;
  const uint32_t length = platform::GetFullPathName(program.c_str(), sizeof full, full, &name);
  if (length == 0 || length >= sizeof full || name == nullptr) return {};
  const std::string directory(full, static_cast<std::size_t>(name - full));
  return directory.size() <= kMaxProgramDir ? directory : std::string();
}

std::string SharedMailDirectory(const std::string& queue, const std::string& temp) {
  std::size_t last_separator = std::string::npos;
  for (std::size_t i = 0; i < queue.size() && i < temp.size() && queue[i] == temp[i]; ++i) {
    if (platform::IsSeparator(queue[i])) last_separator = i;
  }
  if (last_separator == std::string::npos || last_separator == 0) return {};
  return queue.substr(0, last_separator);
}

std::string WithoutTrailingSeparator(const std::string& path) {
  std::string shown = path;
  while (shown.size() > 1 && shown.back() == '/') shown.pop_back();
  return shown;
}

std::string WithTrailingSeparator(const std::string& path) {
  return !path.empty() && path.back() == '/' ? path : path + "/";
}

}  // namespace setup
