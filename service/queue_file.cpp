// Opening with O_NOFOLLOW and checking what was opened with fstat (the safe-open
// practice): a user who plants a link named like a control file gets nothing read
// through it, and a FIFO cannot hang the service.
#include "queue_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "pellam.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/find.h"

namespace pellam::service {

uint32_t ReadQueueFile(const std::string& path, std::string* bytes, JobIdentity* identity) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return errno == ELOOP ? ERR_CONTROL_FILE : platform::FromErrno(errno, path.c_str());
  platform::UniqueFile file(fd);
  struct stat st{};
  if (::fstat(fd, &st) != 0) return platform::FromErrno(errno);
  if (!S_ISREG(st.st_mode) || static_cast<uint64_t>(st.st_size) > kMaxControlFile) return ERR_CONTROL_FILE;
  bytes->assign(static_cast<size_t>(st.st_size), '\0');
  uint32_t got = 0;
  if (!platform::ReadFile(fd, bytes->data(), static_cast<uint32_t>(bytes->size()), &got)) {
    return platform::GetLastError();
  }
  bytes->resize(got);  // a file that shrank while read is decoded as it was read
  identity->size = got;
  identity->inode = st.st_ino;
  return 0;
}

uint32_t SetAside(const std::string& queue, const std::string& name, std::string* aside) {
  const size_t dot = name.rfind('.');
  const std::string base = dot == std::string::npos ? name : name.substr(0, dot);
  for (int n = 0; n < 1000; ++n) {
    *aside = base + (n == 0 ? std::string() : "-" + std::to_string(n)) + ".bad";
    if (platform::MoveFile((queue + name).c_str(), (queue + *aside).c_str())) return 0;
    const uint32_t code = platform::GetLastError();
    if (code != ERROR_ALREADY_EXISTS) return code;
  }
  return ERROR_ALREADY_EXISTS;
}

uint32_t ListQueue(const std::string& queue, const char* pattern, std::vector<std::string>* names) {
  names->clear();
  platform::FindData data{};
  platform::FindHandle search = platform::FindFirstFile((queue + pattern).c_str(), &data);
  if (search == nullptr) {
    const uint32_t code = platform::GetLastError();
    return code == ERROR_FILE_NOT_FOUND ? 0 : code;
  }
  do {
    names->push_back(data.name);
  } while (platform::FindNextFile(search, &data));
  const uint32_t code = platform::GetLastError();
  platform::FindClose(search);
  return code == ERROR_NO_MORE_FILES ? 0 : code;
}

}  // namespace pellam::service
