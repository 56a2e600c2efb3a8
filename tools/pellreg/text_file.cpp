// Reading and writing whole files through the platform layer; see text_file.h.
#include "pellreg/text_file.h"

#include <cerrno>
#include <cstdio>

#include "pellreg/store.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/tempfile.h"

namespace pellreg {
namespace {

constexpr std::size_t kChunk = 1u << 20;  // WriteFile takes a 32-bit size

std::string CannotWrite(const std::string& path, uint32_t code) {
  return "cannot write " + path + ": " + CodeText(code);
}

std::string DirectoryOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool ReadTextFile(const std::string& path, std::string* content, std::string* error) {
  platform::UniqueFile file(platform::CreateFile(path.c_str(), platform::kRead,
                                                 platform::kShareRead, platform::kOpenExisting));
  if (!file) {
    *error = "cannot read " + path + ": " + CodeText(platform::GetLastError());
    return false;
  }
  content->clear();
  char buffer[65536];
  while (true) {
    uint32_t done = 0;
    if (!platform::ReadFile(file.get(), buffer, sizeof buffer, &done)) {
      *error = "cannot read " + path + ": " + CodeText(platform::GetLastError());
      return false;
    }
    if (done == 0) return true;
    if (content->size() + done > kMaxTextFileSize) {
      *error = "cannot read " + path + ": the file is larger than " +
               std::to_string(kMaxTextFileSize >> 20) + " MiB";
      return false;
    }
    content->append(buffer, done);
  }
}

WriteOutcome WriteTextFile(const std::string& path, std::string_view content, bool replace) {
  WriteOutcome outcome;
  if (!replace && platform::GetFileAttributes(path.c_str()) != platform::kInvalidAttributes) {
    outcome.exists = true;
    outcome.error = "the file " + path + " exists; give /y to replace it";
    return outcome;
  }
  char temp[platform::kMaxPath];
  if (platform::GetTempFileName(DirectoryOf(path).c_str(), "prg", temp) == 0) {
    outcome.error = CannotWrite(path, platform::GetLastError());
    return outcome;
  }
  uint32_t code = ERROR_SUCCESS;
  {
    platform::UniqueFile file(platform::CreateFile(temp, platform::kWrite, platform::kShareNone,
                                                   platform::kTruncateExisting));
    bool written = static_cast<bool>(file);
    for (std::size_t at = 0; written && at < content.size(); at += kChunk) {
      std::string_view chunk = content.substr(at, kChunk);
      written = platform::WriteFile(file.get(), chunk.data(), static_cast<uint32_t>(chunk.size()));
    }
    written = written && platform::FlushFile(file.get());
    if (!written) code = platform::GetLastError();
    if (file && !platform::CloseFile(file.release()) && written) code = platform::GetLastError();
  }
  if (code == ERROR_SUCCESS) {
    if (!replace) {
      // MoveFile never replaces: a file that appeared meanwhile is refused, not lost.
      if (!platform::MoveFile(temp, path.c_str())) code = platform::GetLastError();
    } else if (std::rename(temp, path.c_str()) != 0) {
      code = platform::FromErrno(errno, path.c_str());
    }
  }
  if (code != ERROR_SUCCESS) {
    platform::DeleteFile(temp);
    outcome.exists = code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS;
    outcome.error = outcome.exists ? "the file " + path + " exists; give /y to replace it"
                                   : CannotWrite(path, code);
    return outcome;
  }
  outcome.ok = true;
  return outcome;
}

}  // namespace pellreg
