// Menu items as desktop entries, in place of the original program-manager groups and
// items: a group is a category of the applications menu ("Accessories" is the
// Utility category), an item a desktop entry in the applications directory of the
// system (when root installs) or of the user, inside PELLAM_ROOT when it is set.
#pragma once

#include <cstdint>
#include <string>

namespace setup {

// "" when the calling user's account cannot be found.
std::string ApplicationsDirectory();

// The menu category of a group: "Accessories" is "Utility", any other "X-" + group.
std::string MenuCategory(const std::string& group);

// "Pellam ReadMe" → "pellam-readme.desktop".
std::string DesktopEntryFileName(const std::string& item);

// The menus' picture of every item, installed with the package.
inline constexpr char kMenuIcon[] = "pellam";

// The entry's text. A target that is a program is run; any other file is opened with
// the desktop's own application for it (xdg-open). It carries the menus' picture and,
// when one is given, the comment, as the package's own entries do: setup's entry
// takes the place of the package's of the same name.
std::string DesktopEntryText(const std::string& item, const std::string& target, bool program,
                             const std::string& category, const std::string& comment = {});

// Writes the item's entry into `directory`, replacing an earlier one; 0 or the code.
uint32_t WriteDesktopEntry(const std::string& directory, const std::string& group,
                           const std::string& item, const std::string& target, const std::string& comment = {});

}  // namespace setup
