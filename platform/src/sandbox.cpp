// PELLAM_ROOT, read on every call so that tests may change it between cases.
#include "platform/sandbox.h"

#include <cstdlib>

namespace platform {

std::string SandboxRoot() {
  const char* root = std::getenv("PELLAM_ROOT");
  if (root == nullptr) return {};
  std::string r(root);
  while (r.size() > 1 && r.back() == '/') r.pop_back();
  if (r == "/") return {};
  return r;
}

std::string InRoot(const std::string& path) {
  std::string root = SandboxRoot();
  if (root.empty()) return path;
  if (!path.empty() && path.front() == '/') return root + path;
  return root + "/" + path;
}

}  // namespace platform
