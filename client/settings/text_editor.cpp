// The text editor is started through the platform's detached start (start_program.h);
// what is left here is which editors to try, and in what order.
#include "settings/text_editor.h"

#include <cstdlib>
#include <vector>

#include "platform/errors.h"
#include "platform/start_program.h"

namespace pelldesk {

uint32_t StartTextEditor(const std::string& program, const std::string& file,
                         const std::string& directory) {
  return platform::StartDetachedProgram({program, file}, directory, 0);
}

std::vector<std::vector<std::string>> FallbackEditors(const std::string& file) {
  std::vector<std::vector<std::string>> commands;
  // The user's own editor, in a terminal since it may well be one that needs it.
  for (const char* variable : {"VISUAL", "EDITOR"}) {
    const char* value = std::getenv(variable);
    if (value == nullptr || *value == '\0') continue;
    std::vector<std::string> editor;
    std::string word;
    for (const char* c = value;; ++c) {
      if (*c == ' ' || *c == '\t' || *c == '\0') {
        if (!word.empty()) editor.push_back(word);
        word.clear();
        if (*c == '\0') break;
      } else {
        word += *c;
      }
    }
    if (editor.empty()) continue;
    editor.push_back(file);
    for (const char* terminal : {"x-terminal-emulator", "xterm"}) {
      std::vector<std::string> command = {terminal, "-e"};
      command.insert(command.end(), editor.begin(), editor.end());
      commands.push_back(command);
    }
    break;
  }
  for (const char* plain : {"mousepad", "gedit", "kwrite", "xedit"}) commands.push_back({plain, file});
  return commands;
}

uint32_t StartAnyTextEditor(const std::string& desktop, const std::vector<std::vector<std::string>>& fallbacks,
                            const std::string& file, const std::string& directory) {
  const uint32_t first = platform::StartDetachedProgram({desktop, file}, directory, kDesktopWatchMs);
  if (first == 0) return 0;
  for (const std::vector<std::string>& command : fallbacks) {
    if (platform::StartDetachedProgram(command, directory, 0) == 0) return 0;
  }
  return platform::Fail(first);  // why the desktop's way failed says most
}

}  // namespace pelldesk
