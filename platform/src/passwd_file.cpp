// The sandbox's user database: a passwd-format file parsed by hand, so that tests
// and the demo get accounts without touching the system's own database.
#include "passwd_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>

#include "platform/errors.h"

namespace platform::passwd_file {
namespace {

// Decimal digits only (no sign, no blanks) that fit 32 bits.
bool ParseId(std::string_view text, uint32_t* id) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *id);
  return ec == std::errc() && end == text.data() + text.size();
}

uint32_t ReadWholeFile(const std::string& path, std::string* content) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return FromErrno(errno, path.c_str());
  char chunk[8192];
  for (;;) {
    ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      uint32_t code = FromErrno(errno);
      ::close(fd);
      return code;
    }
    if (n == 0) break;
    content->append(chunk, static_cast<size_t>(n));
  }
  ::close(fd);
  return ERROR_SUCCESS;
}

}  // namespace

bool ParseLine(std::string_view line, Account* account) {
  std::string_view fields[7];
  size_t count = 0;
  for (;;) {
    size_t colon = line.find(':');
    if (count == 7) return false;  // more than seven fields
    fields[count++] = line.substr(0, colon);
    if (colon == std::string_view::npos) break;
    line.remove_prefix(colon + 1);
  }
  if (count != 7) return false;
  std::string_view name = fields[0];
  // "+" and "-" lines are NIS inclusions of other databases, not accounts.
  if (name.empty() || name.front() == '+' || name.front() == '-') return false;
  Account a;
  if (!ParseId(fields[2], &a.uid) || !ParseId(fields[3], &a.gid)) return false;
  a.name = name;
  std::string_view gecos = fields[4];
  a.full_name = gecos.substr(0, gecos.find(','));
  a.home = fields[5];
  *account = std::move(a);
  return true;
}

uint32_t Find(const std::string& path, const std::function<bool(const Account&)>& match,
              Account* account) {
  std::string content;
  if (uint32_t code = ReadWholeFile(path, &content)) return code;
  std::string_view rest(content);
  while (!rest.empty()) {
    size_t eol = rest.find('\n');
    std::string_view line = rest.substr(0, eol);
    rest.remove_prefix(eol == std::string_view::npos ? rest.size() : eol + 1);
    Account candidate;
    if (ParseLine(line, &candidate) && match(candidate)) {
      *account = std::move(candidate);
      return ERROR_SUCCESS;
    }
  }
  return ERROR_NONE_MAPPED;
}

}  // namespace platform::passwd_file
