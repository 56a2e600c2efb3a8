// The copy list: the files of script sections, each with its source and destination
// path, gathered before anything is copied.
#pragma once

#include <string>
#include <vector>

#include "inf_script.h"

namespace setup {

// Results of copying the list.
inline constexpr int kCopyDone = 0;
inline constexpr int kCopyFailed = 1;
inline constexpr int kCopyUserQuit = 48;

struct CopyEntry {
  std::string source;
  std::string destination;
};

class CopyList {
 public:
  void Reset() { entries_.clear(); }

  // Adds the files of `section` of the script, from `source_dir` into
  // `destination_dir` (both ending in "/"); false when there is no such section.
  bool AddSection(const InfScript& script, const std::string& section, const std::string& source_dir,
                  const std::string& destination_dir);

  const std::vector<CopyEntry>& entries() const { return entries_; }

 private:
  std::vector<CopyEntry> entries_;
};

}  // namespace setup
