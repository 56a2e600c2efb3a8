// Opening without following a link and checking what was opened (the safe-open
// practice): a user who plants a link named like a control file gets nothing read
// through it, and a FIFO cannot hang the service.
#include "queue_file.h"

#include <sys/stat.h>

#include "compose/control_file_format.h"
#include "pellam.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/find.h"

namespace pellam::service {

namespace {

std::string KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISLNK(mode)) return "a link";
  if (S_ISSOCK(mode)) return "a socket";
  return "a device";
}

}  // namespace

uint32_t ReadQueueFile(const std::string& path, std::string* bytes, JobIdentity* identity, QueueFileFacts* facts) {
  // Looked at first without opening: a FIFO or a device is never opened.
  platform::FileFacts named;
  if (const uint32_t code = platform::LookAtName(path.c_str(), &named)) return code;
  facts->owner = named.owner;
  if (!S_ISREG(named.mode)) {
    facts->problem = KindOf(named.mode) + ", not a control file";
    return ERR_CONTROL_FILE;
  }
  const int fd = platform::OpenWithoutFollowing(path.c_str());
  if (fd == platform::kInvalidFile) {
    const uint32_t code = platform::GetLastError();
    if (code != ERROR_CANT_RESOLVE_FILENAME) return code;
    facts->problem = "a link, not a control file";
    return ERR_CONTROL_FILE;
  }
  platform::UniqueFile file(fd);
  platform::FileFacts st;
  if (const uint32_t code = platform::LookAtFile(fd, &st)) return code;
  facts->owner = st.owner;
  if (!S_ISREG(st.mode) || st.inode != named.inode || st.device != named.device) {
    facts->problem = "replaced while it was opened";
    return ERR_CONTROL_FILE;
  }
  // A second link could be a user's link to another user's file: its owner would
  // not be the poster.
  if (st.links != 1) {
    facts->problem = "a file with " + std::to_string(st.links) + " links";
    return ERR_CONTROL_FILE;
  }
  if (st.size > control::kMaxControlFileSize) {
    facts->problem = "too large: " + std::to_string(st.size) + " bytes, more than the " +
                     std::to_string(control::kMaxControlFileSize) + " that a message may have";
    return ERR_CONTROL_FILE;
  }
  bytes->assign(static_cast<size_t>(st.size), '\0');
  uint32_t got = 0;
  if (!platform::ReadFile(fd, bytes->data(), static_cast<uint32_t>(bytes->size()), &got)) {
    return platform::GetLastError();
  }
  bytes->resize(got);  // a file that shrank while read is decoded as it was read
  identity->size = got;
  identity->inode = st.inode;
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
