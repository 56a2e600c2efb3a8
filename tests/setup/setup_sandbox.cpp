// The setup sandbox: the installer runs in-process with a scripted front end, as it
// runs in an unattended install, with the service timings shortened.
#include "setup_sandbox.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "installer.h"
#include "needs_root.h"
#include "platform/services.h"
#include "scripted_front_end.h"
#include "toolkit.h"

namespace pellam::test {

SetupSandbox::SetupSandbox() : source_(box_.Path("media/")) {
  platform::SetServiceTimeouts(300, 1500);
  std::filesystem::create_directories(source_);
  AddInstallingUser(box_);
}

void AddInstallingUser(Sandbox& box) {
  if (!RunningAsRoot()) box.AddCurrentUser("installer", "The Installer");
}

SetupSandbox::~SetupSandbox() {
  for (const std::string& program : programs_) KillTestService(program);
  KillTestService(DefaultProgramDir() + "/pellam");
  platform::SetServiceTimeouts(1000, 10000);
}

void SetupSandbox::MakeSource(TestService kind, const std::vector<std::string>& files) {
  std::string inf = "; a test source\n[Files]\n";
  for (const std::string& name : files) {
    inf += name + "\n";
    if (name == "pellam") {
      WriteTestService(source_ + name, kind);
    } else if (name.find('.') == std::string::npos) {
      WriteTextFile(source_ + name, "#!/bin/sh\n# the program " + name + "\n");
      ::chmod((source_ + name).c_str(), 0755);
    } else {
      WriteTextFile(source_ + name, "the file " + name + "\n");
    }
  }
  inf += "\n[System]\n";
  WriteTextFile(source_ + "setup.inf", inf);
}

SetupRun SetupSandbox::Install(const std::string& answers) {
  setup::ScriptedFrontEnd front_end;
  std::string error;
  EXPECT_TRUE(front_end.Load(answers, &error)) << error;
  setup::Toolkit toolkit(front_end);
  toolkit.SetSymbol("STF_SRCDIR", source_);
  setup::InstallerSettings settings;
  settings.poll_interval_ms = 100;
  SetupRun run;
  run.exit_code = setup::RunInstaller(toolkit, settings);
  run.transcript = front_end.transcript();
  return run;
}

bool HasInOrder(const std::string& transcript, const std::vector<std::string>& expected) {
  std::size_t at = 0;
  for (const std::string& line : expected) {
    const std::string wanted = line + "\n";
    std::size_t found = transcript.find(wanted, at);
    while (found != std::string::npos && found != 0 && transcript[found - 1] != '\n') {
      found = transcript.find(wanted, found + 1);
    }
    if (found == std::string::npos) return false;
    at = found + wanted.size();
  }
  return true;
}

std::vector<std::string> LinesStartingWith(const std::string& transcript, const std::string& prefix) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < transcript.size()) {
    std::size_t end = transcript.find('\n', at);
    if (end == std::string::npos) end = transcript.size();
    const std::string line = transcript.substr(at, end - at);
    if (line.rfind(prefix, 0) == 0) lines.push_back(line);
    at = end + 1;
  }
  return lines;
}

}  // namespace pellam::test
