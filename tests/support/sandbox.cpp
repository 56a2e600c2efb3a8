#include "sandbox.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace pellam::test {
namespace fs = std::filesystem;

Sandbox::Sandbox() {
  if (const char* old = std::getenv("PELLAM_ROOT")) {
    had_root_ = true;
    saved_root_ = old;
  }
  std::string tmpl = (fs::temp_directory_path() / "pellam-test-XXXXXX").string();
  if (::mkdtemp(tmpl.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
  root_ = tmpl;
  // Other users of the sandbox (tests switch uid in children) must reach their homes.
  fs::permissions(root_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                             fs::perms::others_read | fs::perms::others_exec);
  fs::create_directories(root_ + "/etc");
  WriteTextFile(root_ + "/etc/passwd", "");
  ::setenv("PELLAM_ROOT", root_.c_str(), 1);
}

Sandbox::~Sandbox() {
  if (had_root_) {
    ::setenv("PELLAM_ROOT", saved_root_.c_str(), 1);
  } else {
    ::unsetenv("PELLAM_ROOT");
  }
  std::error_code ec;
  fs::remove_all(root_, ec);
}

std::string Sandbox::Path(const std::string& relative) const {
  if (relative.empty()) return root_;
  return relative.front() == '/' ? root_ + relative : root_ + "/" + relative;
}

void Sandbox::AddUser(const std::string& name, uid_t uid, const std::string& full_name,
                      const std::string& home) {
  std::ofstream out(root_ + "/etc/passwd", std::ios::app);
  out << name << ":x:" << uid << ":" << uid << ":" << full_name << ",,,:" << home
      << ":/bin/sh\n";
  if (!home.empty()) {
    fs::create_directories(Path(home));
    if (::chown(Path(home).c_str(), uid, uid) != 0 && ::geteuid() == 0) {
      ADD_FAILURE() << "chown " << Path(home);
    }
  }
}

void Sandbox::AddCurrentUser(const std::string& name, const std::string& full_name) {
  AddUser(name, ::geteuid(), full_name, "/home/" + name);
}

void WriteTextFile(const std::string& path, const std::string& content) {
  fs::path p(path);
  if (p.has_parent_path()) fs::create_directories(p.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  if (!out) ADD_FAILURE() << "cannot write " << path;
}

std::string ReadTextFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

int RunInChild(const std::function<int()>& body) {
  pid_t pid = ::fork();
  if (pid == 0) {
    int rc = 126;
    try {
      rc = body();
    } catch (...) {
    }
    ::_exit(rc);
  }
  if (pid < 0) return -1;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + WTERMSIG(status);
}

int RunAsUser(uid_t uid, gid_t gid, const std::function<int()>& body) {
  return RunInChild([&] {
    if (::setgid(gid) != 0 || ::setuid(uid) != 0) return 125;
    return body();
  });
}

}  // namespace pellam::test
