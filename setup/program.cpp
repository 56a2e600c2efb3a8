// Choosing the front end. Qt starts only for the windowed one, so that scripted
// installs and --help need no display; Qt's own options are taken out of the command
// line before setup reads the rest.
#include "program.h"

#include <QApplication>
#include <cstdio>
#include <cstring>
#include <filesystem>
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

// An answers file holds a few short lines; a larger one is no answers file (and a
// device of endless bytes must not be read into memory until it runs out).
constexpr std::uintmax_t kMaxAnswersFile = 1u << 20;

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

// The answers file, read only if it is a regular file of a sensible size.
bool ReadAnswers(const std::string& path, std::string* answers, std::string* error) {
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (ec || !std::filesystem::exists(status)) {
    *error = "cannot read the answers file " + path;
    return false;
  }
  if (std::filesystem::is_directory(status)) {
    *error = "the answers file " + path + " is a directory";
    return false;
  }
  if (!std::filesystem::is_regular_file(status)) {
    *error = "the answers file " + path + " is not a regular file";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot read the answers file " + path;
    return false;
  }
  answers->resize(kMaxAnswersFile + 1);
  in.read(answers->data(), static_cast<std::streamsize>(answers->size()));
  answers->resize(static_cast<size_t>(in.gcount()));
  if (answers->size() > kMaxAnswersFile) {
    *error = "the answers file " + path + " is larger than " + std::to_string(kMaxAnswersFile) + " bytes";
    return false;
  }
  return true;
}

int RunScripted(const CommandLine& line, const char* program) {
  std::string answers, error;
  if (!ReadAnswers(line.script, &answers, &error)) return Refuse(program, error);
  ScriptedFrontEnd front_end(stdout);
  if (!front_end.Load(answers, &error)) return Refuse(program, line.script + ": " + error);
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
