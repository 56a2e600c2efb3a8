// Desktop entries. Exec values follow the desktop entry rules: an argument with a
// reserved character is quoted, quotes and backslashes in it are escaped, "%" is
// doubled, and the string escapes of the file apply on top.
#include "menu_items.h"

#include <unistd.h>

#include <cctype>

#include "platform/accounts.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/sandbox.h"

namespace setup {
namespace {

std::string ExecArgument(const std::string& argument) {
  static const std::string kReserved = " \t\n\"'\\><~|&;$*?#()`";
  std::string quoted = argument;
  if (argument.find_first_of(kReserved) != std::string::npos) {
    quoted = "\"";
    for (char c : argument) {
      if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
      quoted += c;
    }
    quoted += "\"";
  }
  std::string value;
  for (char c : quoted) {
    if (c == '%') value += '%';
    if (c == '\\') value += '\\';  // the string escape of the file
    value += c;
  }
  return value;
}

// A name or a category as one line of the file.
std::string LineValue(const std::string& text) {
  std::string value;
  for (char c : text) value += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
  return value;
}

}  // namespace

std::string ApplicationsDirectory() {
  if (::geteuid() == 0) return platform::InRoot("/usr/local/share/applications");
  platform::Account account;
  if (platform::CurrentAccount(&account) != 0 || account.home.empty()) return {};
  return account.home + "/.local/share/applications";
}

std::string MenuCategory(const std::string& group) {
  return group == "Accessories" ? "Utility" : "X-" + group;
}

std::string DesktopEntryFileName(const std::string& item) {
  std::string name;
  for (char c : item) {
    const unsigned char u = static_cast<unsigned char>(c);
    name += std::isalnum(u) ? static_cast<char>(std::tolower(u)) : '-';
  }
  return name + ".desktop";
}

std::string DesktopEntryText(const std::string& item, const std::string& target, bool program,
                             const std::string& category, const std::string& comment) {
  std::string text = "[Desktop Entry]\nType=Application\n";
  text += "Name=" + LineValue(item) + "\n";
  if (!comment.empty()) text += "Comment=" + LineValue(comment) + "\n";
  text += "Exec=" + std::string(program ? "" : "xdg-open ") + ExecArgument(target) + "\n";
  text += "Icon=" + std::string(kMenuIcon) + "\n";
  text += "Terminal=false\n";
  text += "Categories=" + LineValue(category) + ";\n";
  return text;
}

uint32_t WriteDesktopEntry(const std::string& directory, const std::string& group,
                           const std::string& item, const std::string& target, const std::string& comment) {
  const bool program = ::access(target.c_str(), X_OK) == 0;
  const std::string text = DesktopEntryText(item, target, program, MenuCategory(group), comment);
  const std::string path = directory + "/" + DesktopEntryFileName(item);
  platform::UniqueFile file(platform::CreateFile(path.c_str(), platform::kWrite, platform::kShareNone,
                                                 platform::kCreateAlways, 0644));
  if (!file) return platform::GetLastError();
  uint32_t code = ERROR_SUCCESS;
  if (!platform::WriteFile(file.get(), text.data(), static_cast<uint32_t>(text.size()))) {
    code = platform::GetLastError();
  }
  if (!platform::CloseFile(file.release()) && code == ERROR_SUCCESS) code = platform::GetLastError();
  if (code != ERROR_SUCCESS) platform::DeleteFile(path.c_str());
  return code;
}

}  // namespace setup
