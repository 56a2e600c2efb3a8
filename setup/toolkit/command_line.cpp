// Options of the frame, each taking one value, and the --help text.
#include "command_line.h"

#include <cstring>

#include "platform/program_file.h"

namespace setup {

CommandLine ParseCommandLine(int argc, const char* const* argv) {
  CommandLine line;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i] != nullptr ? argv[i] : "";
    std::string* value = nullptr;
    if (arg == "--help" || arg == "-h") {
      line.help = true;
      continue;
    }
    if (arg == "--version") {
      line.version = true;
      continue;
    }
    if (arg == "--source") value = &line.source_dir;
    if (arg == "--inf-dir") value = &line.inf_dir;
    if (arg == "--script") value = &line.script;
    if (value == nullptr) {
      line.error = "unknown argument: " + arg;
      return line;
    }
    if (i + 1 >= argc || argv[i + 1] == nullptr || argv[i + 1][0] == '\0') {
      line.error = arg + " needs a value";
      return line;
    }
    *value = argv[++i];
  }
  return line;
}

void PrintUsage(std::FILE* out, const char* program) {
  std::fprintf(out,
               "usage:  %s [--source DIR] [--inf-dir DIR] [--script ANSWERS]\n"
               "    Installs Pellam from the source directory: the files listed in its\n"
               "    setup.inf, the mail parameters, the Pellam service and the menu items.\n"
               "    --source DIR       the installation source (default: the directory of setup)\n"
               "    --inf-dir DIR      the directory of setup.inf (default: the source)\n"
               "    --script ANSWERS   install unattended: take the answer to each dialog from\n"
               "                       the file ANSWERS and print a transcript of the dialogs,\n"
               "                       notes and messages instead of showing windows\n"
               "    --help, --version  show this text, or the version\n"
               "\n"
               "  The answers file has one line per dialog, in the order they come:\n"
               "    <dialog> <EVENT> [<text>]\n"
               "      <dialog>  100 welcome, 500 program directory, 300 mail directory,\n"
               "                600 create the directory, 200 quit confirmation\n"
               "      <EVENT>   CONTINUE, BACK, CANCEL or EXIT\n"
               "      <text>    for 500 and 300: the directory typed (the rest of the line;\n"
               "                \"\" is empty); without it the proposed directory is kept\n"
               "    copy QUIT <n>   quit the copy after n files\n"
               "  Lines starting with # are comments. The dialogs with one button (400\n"
               "  failed, 6400 invalid directory, 700 complete) are answered CONTINUE unless\n"
               "  a line names them. A dialog the answers do not name ends the installation.\n"
               "  Example:\n"
               "    100 CONTINUE\n"
               "    500 CONTINUE /opt/pellam\n"
               "    300 CONTINUE /var/spool/pellam\n"
               "    600 CONTINUE\n"
               "\n"
               "  Exit codes: 0 installed, 1 installation failed, 2 the user quit,\n"
               "  64 a command line that cannot be used.\n",
               program);
}

std::string ProgramDirectory() {
  std::string program;
  if (platform::ProgramFileName(&program) != 0) return {};
  return program.substr(0, program.rfind('/') + 1);
}

}  // namespace setup
