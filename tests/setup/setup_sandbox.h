// A sandbox for installing Pellam: a private PELLAM_ROOT, an installation source
// directory made by the test (its setup.inf and files), runs of the installer with
// the scripted front end, and cleanup of every service the runs started.
#pragma once

#include <string>
#include <vector>

#include "platform/fault.h"
#include "sandbox.h"
#include "test_services.h"

namespace pellam::test {

struct SetupRun {
  int exit_code = -1;
  std::string transcript;
};

class SetupSandbox {
 public:
  // Short service timings, so that runs wait for tenths of seconds, not seconds.
  SetupSandbox();
  ~SetupSandbox();

  Sandbox& box() { return box_; }

  // The source directory, ending in "/".
  const std::string& source() const { return source_; }

  // Fills the source: setup.inf listing `files` in [Files] (and nothing in [System]),
  // a service program "pellam" of `kind`, a small program for every other name
  // without a dot, and a small text file for each name with one.
  void MakeSource(TestService kind,
                  const std::vector<std::string>& files = {"pellam", "pelldesk", "pellpost", "pellreadme.txt"});

  // Runs the installer in this process with these answers; the transcript is checked
  // for its error lines by the caller.
  SetupRun Install(const std::string& answers);

  // The default directories inside the sandbox, without trailing "/".
  std::string DefaultProgramDir() const { return box_.Path("opt/pellam"); }
  std::string DefaultMailDir() const { return box_.Path("var/spool/pellam"); }

  // Registers a program for cleanup (its last start is killed at the end).
  void Track(const std::string& program) { programs_.push_back(program); }

 private:
  Sandbox box_;
  platform::fault::Scope faults_;
  std::string source_;
  std::vector<std::string> programs_;
};

// Gives the calling user an account in `box` unless it is root: an ordinary user's
// menu items go into their own home, which only the account names (root's go into the
// machine's applications menu).
void AddInstallingUser(Sandbox& box);

// True when `transcript` holds the lines of `expected` in that order (others between).
bool HasInOrder(const std::string& transcript, const std::vector<std::string>& expected);

// The lines of `transcript` that begin with `prefix`.
std::vector<std::string> LinesStartingWith(const std::string& transcript, const std::string& prefix);

}  // namespace pellam::test
