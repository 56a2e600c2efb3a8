// The frame's symbols from the command line, resolved against the current directory.
#include "frame.h"

#include "platform/paths.h"

namespace setup {
namespace {

// `directory` made absolute and ending in "/"; "" when it cannot be resolved.
std::string AbsoluteDirectory(const std::string& directory) {
  char full[platform::kMaxPath];
  const uint32_t length = platform::GetFullPathName(directory.c_str(), sizeof full, full);
  if (length == 0 || length >= sizeof full) return {};
  std::string path(full, length);
  return path.back() == '/' ? path : path + "/";
}

}  // namespace

bool InitializeFrame(Toolkit& toolkit, const CommandLine& line) {
  const std::string source = AbsoluteDirectory(line.source_dir.empty() ? ProgramDirectory() : line.source_dir);
  if (source.empty()) return false;
  toolkit.SetSymbol("STF_SRCDIR", source);
  if (!line.inf_dir.empty()) {
    const std::string inf = AbsoluteDirectory(line.inf_dir);
    if (inf.empty()) return false;
    toolkit.SetSymbol("STF_SRCINFPATH", inf);
  }
  return true;
}

}  // namespace setup
