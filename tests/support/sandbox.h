// A private PELLAM_ROOT for one test: a fresh directory with an etc/passwd of its own,
// set as the sandbox variable for the test's lifetime and removed afterwards.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>

namespace pellam::test {

class Sandbox {
 public:
  Sandbox();
  ~Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  // The root directory, without a trailing "/".
  const std::string& root() const { return root_; }

  // `relative` below the root ("home/ann" → "<root>/home/ann").
  std::string Path(const std::string& relative) const;

  // Adds a passwd line and creates the home (owned by uid) inside the root. `home`
  // is the path as the account states it ("/home/ann"); "" gives an account without one.
  void AddUser(const std::string& name, uid_t uid, const std::string& full_name,
               const std::string& home);
  // Adds the account of the calling effective uid under `name`.
  void AddCurrentUser(const std::string& name, const std::string& full_name);

 private:
  std::string root_;
  std::string saved_root_;
  bool had_root_ = false;
};

// Writes `content` to `path`, creating parent directories. Fails the test on error.
void WriteTextFile(const std::string& path, const std::string& content);

// The whole content of `path`; "" when it cannot be read.
std::string ReadTextFile(const std::string& path);

// Runs `body` in a forked child and returns its exit status (the child exits with the
// value `body` returns; a crash or signal gives 128 + signal number).
int RunInChild(const std::function<int()>& body);

// As RunInChild, with the child's effective and real ids switched to uid/gid first
// (needs root); returns 125 when the switch fails.
int RunAsUser(uid_t uid, gid_t gid, const std::function<int()>& body);

}  // namespace pellam::test
