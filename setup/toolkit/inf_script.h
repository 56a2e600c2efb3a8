// The installation script "setup.inf": sections in brackets, each a list of files to
// install. A line "name" installs the file of that name in the source directory under
// the same name; "name = source" installs `source` (a path relative to the source
// directory, or absolute) under `name`. Lines starting with ";" or "#" are comments.
#pragma once

#include <string>
#include <vector>

namespace setup {

struct InfFile {
  std::string name;    // the name at the destination: a plain file name
  std::string source;  // relative to the source directory, or absolute
};

struct InfSection {
  std::string name;
  std::vector<InfFile> files;
};

class InfScript {
 public:
  // Parses the text; false with `*error` ("line 3: ...") when it is not a script.
  bool Parse(const std::string& text, std::string* error);

  // The section of that name (compared without regard to case), or null.
  const InfSection* Find(const std::string& section) const;

 private:
  std::vector<InfSection> sections_;
};

}  // namespace setup
