// Directory names, existence and creation through the platform layer, whose fault
// injection reaches every failure.
#include "directories.h"

#include <sys/stat.h>

#include "platform/errors.h"
#include "platform/files.h"

namespace setup {

bool ValidDirectoryName(const std::string& path) {
  if (path.empty() || path.size() > kMaxDirectoryName || path[0] != '/') return false;
  std::size_t start = 1;
  while (start < path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string name = path.substr(start, end - start);
    const bool last = end == path.size() || end + 1 == path.size();
    if ((name.empty() && !last) || name == "." || name == "..") return false;
    start = end + 1;
  }
  for (char c : path) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
  }
  return true;
}

bool DirectoryExists(const std::string& path) {
  const uint32_t attributes = platform::GetFileAttributes(path.c_str());
  return attributes != platform::kInvalidAttributes && (attributes & platform::kAttrDirectory) != 0;
}

uint32_t CreateDirectoryPath(const std::string& path, unsigned mode, std::string* blocker) {
  std::string directory = path;
  while (directory.size() > 1 && directory.back() == '/') directory.pop_back();
  if (directory.empty()) return ERROR_SUCCESS;
  const uint32_t attributes = platform::GetFileAttributes(directory.c_str());
  if (attributes != platform::kInvalidAttributes) {
    if ((attributes & platform::kAttrDirectory) != 0) return ERROR_SUCCESS;
    // Creating it would only say that the name exists, which hides the reason.
    if (blocker != nullptr) *blocker = directory;
    return ERROR_DIRECTORY;
  }
  const auto slash = directory.rfind('/');
  if (slash != std::string::npos && slash > 0) {
    if (const uint32_t code = CreateDirectoryPath(directory.substr(0, slash), 0755, blocker)) return code;
  }
  if (!platform::CreateDirectory(directory.c_str(), mode)) return platform::GetLastError();
  ::chmod(directory.c_str(), static_cast<mode_t>(mode));
  return ERROR_SUCCESS;
}

}  // namespace setup
