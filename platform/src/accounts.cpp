// Accounts: the system's user database, or inside a sandbox the root's etc/passwd
// with homes moved inside the root; SID strings of Unix accounts; the computer name.
#include "platform/accounts.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <ctime>
#include <cstring>
#include <vector>

#include "file_state.h"
#include "passwd_file.h"
#include "platform/errors.h"
#include "platform/fault.h"
#include "platform/sandbox.h"

namespace platform {
namespace {

constexpr char kSidPrefix[] = "S-1-22-1-";

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// getpwnam_r / getpwuid_r through `lookup`, growing the buffer as they ask.
template <typename Lookup>
uint32_t SystemLookup(Lookup lookup, Account* account) {
  std::vector<char> buffer(1024);
  for (;;) {
    passwd entry{};
    passwd* found = nullptr;
    int rc = lookup(&entry, buffer.data(), buffer.size(), &found);
    if (rc == ERANGE && buffer.size() < (1u << 20)) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (found != nullptr) {
      account->name = entry.pw_name ? entry.pw_name : "";
      account->uid = entry.pw_uid;
      account->gid = entry.pw_gid;
      std::string gecos = entry.pw_gecos ? entry.pw_gecos : "";
      account->full_name = gecos.substr(0, gecos.find(','));
      account->home = WithoutTrailingSlash(entry.pw_dir ? entry.pw_dir : "");
      return ERROR_SUCCESS;
    }
    // The C library reports "not found" with any of these, depending on the source.
    if (rc == 0 || rc == ENOENT || rc == ESRCH || rc == EBADF || rc == EPERM) {
      return ERROR_NONE_MAPPED;
    }
    return FromErrno(rc);
  }
}

uint32_t SandboxLookup(const std::string& root, const std::function<bool(const Account&)>& match,
                       Account* account) {
  Account found;
  if (uint32_t code = passwd_file::Find(root + "/etc/passwd", match, &found)) return code;
  if (!found.home.empty()) found.home = WithoutTrailingSlash(InRoot(found.home));
  *account = std::move(found);
  return ERROR_SUCCESS;
}

}  // namespace

uint32_t LookupAccountByName(const char* name, Account* account) {
  if (name == nullptr || account == nullptr) return ERROR_INVALID_PARAMETER;
  if (uint32_t code = fault::Check(fault::Op::Account)) return code;
  if (*name == '\0') return ERROR_NONE_MAPPED;
  std::string root = SandboxRoot();
  if (!root.empty()) {
    return SandboxLookup(
        root, [name](const Account& a) { return a.name == name; }, account);
  }
  return SystemLookup(
      [name](passwd* e, char* b, size_t n, passwd** r) { return ::getpwnam_r(name, e, b, n, r); },
      account);
}

namespace {

// What the user database file looked like: a rewrite changes at least one of these.
struct DatabaseStamp {
  FileId file;
  FileState state;
  bool operator==(const DatabaseStamp&) const = default;
};

// The stamp of the database at `path`; false when there is none to trust. File times
// advance in steps of a clock tick, so a file changed in the last moments could change
// again without its times moving: such a file is read afresh every time.
bool StampOf(const std::string& path, DatabaseStamp* stamp) {
  struct stat st{};
  if (::stat(path.c_str(), &st) != 0) return false;
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  const time_t latest = std::max(st.st_mtim.tv_sec, st.st_ctim.tv_sec);
  if (now.tv_sec - latest < 2) return false;
  *stamp = {IdOf(st), StateOf(st)};
  return true;
}

// The last account found by uid, kept for the calling thread: a program asks for its
// own account again and again (every call on HKEY_CURRENT_USER finds its hive through
// it), and each answer reads and parses the whole user database. The answer is reused
// while the database file is unchanged and for a few seconds at most, since accounts
// may also come from elsewhere than that file. Per thread, so that it needs no lock,
// and a child forked in the middle of another thread's look-up inherits nothing half
// written.
struct RecentAccount {
  bool valid = false;
  std::string root;
  uint32_t uid = 0;
  DatabaseStamp stamp;
  std::chrono::steady_clock::time_point found;
  Account account;
};
thread_local RecentAccount t_recent;
constexpr auto kRecentFor = std::chrono::seconds(5);

}  // namespace

uint32_t LookupAccountByUid(uint32_t uid, Account* account) {
  if (account == nullptr) return ERROR_INVALID_PARAMETER;
  if (uint32_t code = fault::Check(fault::Op::Account)) return code;
  std::string root = SandboxRoot();
  const std::string database = root + "/etc/passwd";
  DatabaseStamp stamp;
  const bool stamped = StampOf(database, &stamp);
  const auto now = std::chrono::steady_clock::now();
  RecentAccount& recent = t_recent;
  if (stamped && recent.valid && recent.uid == uid && recent.root == root && recent.stamp == stamp &&
      now - recent.found < kRecentFor) {
    *account = recent.account;
    return ERROR_SUCCESS;
  }
  recent.valid = false;
  Account found;
  const uint32_t code =
      !root.empty()
          ? SandboxLookup(root, [uid](const Account& a) { return a.uid == uid; }, &found)
          : SystemLookup(
                [uid](passwd* e, char* b, size_t n, passwd** r) { return ::getpwuid_r(uid, e, b, n, r); }, &found);
  if (code != ERROR_SUCCESS) return code;
  if (stamped) {
    recent.root = root;
    recent.uid = uid;
    recent.stamp = stamp;
    recent.found = now;
    recent.account = found;
    recent.valid = true;
  }
  *account = std::move(found);
  return ERROR_SUCCESS;
}

uint32_t CurrentAccount(Account* account) { return LookupAccountByUid(::geteuid(), account); }

std::string SidString(uint32_t uid) { return kSidPrefix + std::to_string(uid); }

bool ParseSidString(const char* sid, uint32_t* uid) noexcept {
  if (sid == nullptr || uid == nullptr) return false;
  constexpr size_t prefix_length = sizeof kSidPrefix - 1;
  // Key names ignore case, so "s-1-22-1-1000" names the same hive.
  if (::strncasecmp(sid, kSidPrefix, prefix_length) != 0) return false;
  const char* digits = sid + prefix_length;
  size_t length = std::strlen(digits);
  if (length == 0) return false;
  // One spelling per uid: no sign and no leading zeros, so that a SID and its uid
  // convert both ways without loss.
  if (digits[0] == '0' && length > 1) return false;
  for (size_t i = 0; i < length; ++i) {
    if (digits[i] < '0' || digits[i] > '9') return false;
  }
  uint32_t value = 0;
  auto [end, ec] = std::from_chars(digits, digits + length, value);
  if (ec != std::errc() || end != digits + length) return false;
  *uid = value;
  return true;
}

std::string ComputerName() {
  char host[256] = {};
  if (::gethostname(host, sizeof host - 1) != 0) return {};
  std::string name(host, ::strnlen(host, sizeof host));
  name = name.substr(0, name.find('.'));
  for (char& c : name) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  if (name.size() > 15) name.resize(15);
  return name;
}

}  // namespace platform
