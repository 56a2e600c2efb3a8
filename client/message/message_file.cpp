// Message files read whole and written by replacement.
#include "message/message_file.h"

#include "platform/errors.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/tempfile.h"

namespace pelldesk {

uint32_t ReadMessageFile(const std::string& path, std::string* bytes) {
  platform::UniqueFile file(platform::CreateFile(path.c_str(), platform::kRead, platform::kShareRead,
                                                 platform::kOpenExisting));
  if (!file) return platform::GetLastError();
  uint64_t size = 0;
  if (!platform::GetFileSize(file.get(), &size)) return platform::GetLastError();
  if (size > kMaxMessageFileSize) return ERROR_NOT_ENOUGH_MEMORY;

  std::string content;
  content.reserve(static_cast<std::size_t>(size));
  char buffer[64 * 1024];
  for (;;) {
    uint32_t done = 0;
    if (!platform::ReadFile(file.get(), buffer, sizeof buffer, &done)) return platform::GetLastError();
    if (done == 0) break;
    // The file may grow while it is read; the limit holds all the same.
    if (content.size() + done > kMaxMessageFileSize) return ERROR_NOT_ENOUGH_MEMORY;
    content.append(buffer, done);
  }
  *bytes = std::move(content);
  return 0;
}

namespace {

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

uint32_t WriteWhole(const char* path, std::string_view bytes) {
  platform::UniqueFile file(
      platform::CreateFile(path, platform::kWrite, platform::kShareNone, platform::kTruncateExisting));
  if (!file) return platform::GetLastError();
  if (!platform::WriteFile(file.get(), bytes.data(), static_cast<uint32_t>(bytes.size()))) {
    return platform::GetLastError();
  }
  if (!platform::FlushFile(file.get())) return platform::GetLastError();
  if (!platform::CloseFile(file.release())) return platform::GetLastError();
  return 0;
}

}  // namespace

uint32_t WriteMessageFile(const std::string& path, std::string_view bytes) {
  if (bytes.size() > kMaxMessageFileSize) return ERROR_NOT_ENOUGH_MEMORY;
  char temp[platform::kMaxPath];
  if (platform::GetTempFileName(DirectoryOf(path).c_str(), "sav", temp) == 0) return platform::GetLastError();
  uint32_t status = WriteWhole(temp, bytes);
  // The copy replaces the target by a rename once it is complete, so a failure at any
  // point leaves the target as it was.
  if (status == 0 && !platform::CopyFile(temp, path.c_str(), false)) status = platform::GetLastError();
  platform::DeleteFile(temp);
  return status;
}

}  // namespace pelldesk
