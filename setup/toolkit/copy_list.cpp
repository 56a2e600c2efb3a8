// Gathering a section into the copy list: a relative source is taken from the source
// directory, and the destination is always a plain name inside the destination.
#include "copy_list.h"

namespace setup {

bool CopyList::AddSection(const InfScript& script, const std::string& section,
                          const std::string& source_dir, const std::string& destination_dir) {
  const InfSection* files = script.Find(section);
  if (files == nullptr) return false;
  for (const InfFile& file : files->files) {
    const std::string source = file.source.front() == '/' ? file.source : source_dir + file.source;
    entries_.push_back(CopyEntry{source, destination_dir + file.name});
  }
  return true;
}

}  // namespace setup
