// Reading and writing whole files through the platform layer; see text_file.h.
#include "pellreg/text_file.h"

#include <unistd.h>


#include "pellreg/store.h"
#include "platform/errors.h"
#include "platform/files.h"

namespace pellreg {
namespace {

constexpr std::size_t kChunk = 1u << 20;  // WriteFile takes a 32-bit size

std::string CannotWrite(const std::string& path, uint32_t code) {
  return "cannot write " + path + ": " + CodeText(code);
}

// Creates "<path>.<pid>-<n>.tmp" exclusively, beside the target so that the final
// rename stays within one filesystem; kInvalidFile with the last-error value set.
int CreateTempBeside(const std::string& path, std::string* temp) {
  for (unsigned n = 0; n < 100; ++n) {
    *temp = path + "." + std::to_string(::getpid()) + "-" + std::to_string(n) + ".tmp";
    int file = platform::CreateFile(temp->c_str(), platform::kWrite, platform::kShareNone,
                                    platform::kCreateNew);
    if (file != platform::kInvalidFile || platform::GetLastError() != ERROR_FILE_EXISTS) {
      return file;
    }
  }
  return platform::kInvalidFile;
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
  std::string temp;
  uint32_t code = ERROR_SUCCESS;
  {
    platform::UniqueFile file(CreateTempBeside(path, &temp));
    if (!file) return {false, false, CannotWrite(path, platform::GetLastError())};
    bool written = true;
    for (std::size_t at = 0; written && at < content.size(); at += kChunk) {
      std::string_view chunk = content.substr(at, kChunk);
      written = platform::WriteFile(file.get(), chunk.data(), static_cast<uint32_t>(chunk.size()));
    }
    written = written && platform::FlushFile(file.get());
    if (!written) code = platform::GetLastError();
    if (!platform::CloseFile(file.release()) && written) code = platform::GetLastError();
  }
  if (code == ERROR_SUCCESS) {
    if (!replace) {
      // MoveFile never replaces: a file that appeared meanwhile is refused, not lost.
      if (!platform::MoveFile(temp.c_str(), path.c_str())) code = platform::GetLastError();
    } else if (!platform::MoveFileReplacing(temp.c_str(), path.c_str())) {
      code = platform::GetLastError();
    }
  }
  if (code != ERROR_SUCCESS) {
    platform::DeleteFile(temp.c_str());
    outcome.exists = code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS;
    outcome.error = outcome.exists ? "the file " + path + " exists; give /y to replace it"
                                   : CannotWrite(path, code);
    return outcome;
  }
  outcome.ok = true;
  return outcome;
}

}  // namespace pellreg
