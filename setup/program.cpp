// Choosing the front end. Qt starts only for the windowed one, so that scripted
// installs and --help need no display; Qt's own options are taken out of the command
// line before setup reads the rest.
#include "program.h"

#include <QApplication>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "command_line.h"
#include "frame.h"
#include "installer.h"
#include "qt_front_end.h"
#include "scripted_front_end.h"

namespace setup {
namespace {

constexpr int kBadCommandLine = 64;

bool AsksForWindows(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    for (const char* option : {"--script", "--help", "-h", "--version"}) {
      if (std::strcmp(argv[i], option) == 0) return false;
    }
  }
  return true;
}

int Refuse(const char* program, const std::string& error) {
  std::fprintf(stderr, "%s: %s\n", program, error.c_str());
  PrintUsage(stderr, program);
  return kBadCommandLine;
}

int Install(FrontEnd& front_end, const CommandLine& line, const char* program) {
  Toolkit toolkit(front_end);
  if (!InitializeFrame(toolkit, line)) return Refuse(program, "the source directory cannot be resolved");
  return RunInstaller(toolkit);
}

int RunScripted(const CommandLine& line, const char* program) {
  std::ifstream in(line.script, std::ios::binary);
  if (!in) return Refuse(program, "cannot read the answers file " + line.script);
  std::ostringstream answers;
  answers << in.rdbuf();
  ScriptedFrontEnd front_end(stdout);
  std::string error;
  if (!front_end.Load(answers.str(), &error)) return Refuse(program, line.script + ": " + error);
  return Install(front_end, line, program);
}

}  // namespace

int RunSetup(int argc, char** argv) {
  const char* program = argc > 0 && argv[0] != nullptr ? argv[0] : "setup";
  if (!AsksForWindows(argc, argv)) {
    const CommandLine line = ParseCommandLine(argc, argv);
    if (!line.error.empty()) return Refuse(program, line.error);
    if (line.help) {
      PrintUsage(stdout, program);
      return 0;
    }
    if (line.version) {
      std::printf("setup %s\n", PELLAM_VERSION);
      return 0;
    }
    return RunScripted(line, program);
  }
  QApplication application(argc, argv);
  const CommandLine line = ParseCommandLine(argc, argv);
  if (!line.error.empty()) return Refuse(program, line.error);
  QtFrontEnd front_end;
  return Install(front_end, line, program);
}

}  // namespace setup
