// The posting benchmarks' private root, messages and neighbour programs.
#include "bench_root.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "pellam.h"

namespace bench {

namespace fs = std::filesystem;

BenchRoot::BenchRoot() {
  std::string tmpl = (fs::temp_directory_path() / "pellam-bench-XXXXXX").string();
  if (::mkdtemp(tmpl.data()) == nullptr) std::abort();
  root_ = tmpl;
  fs::create_directories(root_ + "/etc");
  fs::create_directories(root_ + "/home/ann");
  std::ofstream(root_ + "/etc/passwd") << "ann:x:" << ::geteuid() << ":" << ::getegid()
                                       << ":Ann Smith,,,:/home/ann:/bin/sh\n";
  ::setenv("PELLAM_ROOT", root_.c_str(), 1);
  fs::create_directories(root_ + "/temp");
  fs::create_directories(root_ + "/queue");
  MailSystemProfile system{};
  std::snprintf(system.MailQueuePath, sizeof system.MailQueuePath, "%s/queue/", root_.c_str());
  std::snprintf(system.MailTempPath, sizeof system.MailTempPath, "%s/temp/", root_.c_str());
  MailProfile user{};
  if (UpdateMailSystemProfile(&system, sizeof system) != 0 || GetMailProfile(&user, sizeof user) != 0) {
    std::fprintf(stderr, "cannot set up the mail profiles\n");
    std::abort();
  }
}

BenchRoot::~BenchRoot() {
  std::error_code ec;
  fs::remove_all(root_, ec);
}

void BenchRoot::MoveAside(const std::string& directory) {
  const std::string old = root_ + "/old/" + std::to_string(++moved_);
  fs::create_directories(root_ + "/old");
  fs::rename(directory, old);
  fs::create_directories(directory);
}

BenchRoot& Root() {
  static BenchRoot root;
  return root;
}

std::string Message(size_t size) {
  std::string m = "To: SMITH, JONES, BROWN, GREEN, WHITE, BLACK, GREY, TAYLOR, KING, WOOD\r\n"
                  "Subject: posting benchmark\r\n\r\n";
  for (size_t i = 0; m.size() < size + 100; ++i) m += "line " + std::to_string(i) + " of the text\r\n";
  return m;
}

std::string BesideThisProgram(const std::string& name) {
  char self[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return {};
  self[n] = '\0';
  return (fs::path(self).parent_path() / name).string();
}

}  // namespace bench
